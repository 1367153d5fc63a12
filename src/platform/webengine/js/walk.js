// Page-side half of walk(), resolve(), document(), fetch() and fetchAnswer(); js/media.js, which
// runs right after it, adds the media report's calls and completes the lumora object. Installed
// once per document in the application's isolated world: the page's own scripts can neither see
// these functions nor replace the DOM methods they call. Every call answers with one plain-data
// envelope: {ok, error, ...}; a walk's holds {length, positions, clicks}.
(function () {
    'use strict';

    function text(value) {
        return value === undefined || value === null ? '' : String(value);
    }

    const readers = {
        tagName: (el) => text(el.tagName),
        name: (el) => text(el.getAttribute('name')),
        // The attribute as written, so "IMAGE" stays upper-case.
        type: (el) => text(el.getAttribute('type')),
        // The live property, not the attribute.
        value: (el) => text(el.value),
        innerText: (el) => text(el.innerText),
        // The inline handler's source text.
        onclick: (el) => text(el.getAttribute('onclick')),
        // A link's address resolved against its document; an SVG link's href is no string.
        href: (el) => {
            const name = el.localName;
            if ((name === 'a' || name === 'area') && typeof el.href === 'string')
                return el.href;
            return text(el.getAttribute('href'));
        },
    };

    function compileTest(test) {
        const read = readers[test.field];
        if (!read)
            throw new Error('unknown field ' + test.field);
        const wanted = test.text;
        switch (test.compare) {
        case 'exact':
            return (el) => read(el) === wanted;
        case 'lower': {
            const lower = wanted.toLowerCase();
            return (el) => read(el).toLowerCase() === lower;
        }
        case 'contains':
            return (el) => {
                const have = read(el);
                return have !== '' && have.indexOf(wanted) !== -1;
            };
        }
        throw new Error('unknown comparison ' + test.compare);
    }

    function allOf(tests) {
        const compiled = tests.map(compileTest);
        const count = compiled.length;
        if (count === 0)
            return () => true;
        if (count === 1)
            return compiled[0];
        return (el) => {
            for (let k = 0; k < count; ++k) {
                if (!compiled[k](el))
                    return false;
            }
            return true;
        };
    }

    function click(el) {
        if (typeof el.click === 'function') {
            el.click();
            return;
        }
        // Elements outside HTML (SVG ...) have no click(); send the event itself.
        const view = el.ownerDocument ? el.ownerDocument.defaultView : null;
        el.dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true, view: view }));
    }

    function failure(error, length, positions, clicks) {
        return { ok: false, error: error, length: length, positions: positions, clicks: clicks };
    }

    // The document at `path` below the top-level one, through each window's frames in order.
    function reach(path) {
        let doc = document;
        for (let depth = 0; depth < path.length; ++depth) {
            const where = 'frame ' + path.slice(0, depth + 1).join('/');
            const win = doc.defaultView;
            if (!win)
                return { error: where + ': the enclosing document has no window' };
            const index = path[depth];
            if (!(index >= 0 && index < win.length))
                return { error: where + ': no such frame' };
            let next = null;
            try {
                next = win[index].document;
            } catch (e) {
                // A cross-origin frame throws SecurityError.
                return { error: where + ': not reachable (' + (e && e.name ? e.name : e) + ')' };
            }
            if (!next)
                return { error: where + ': no document' };
            doc = next;
        }
        return { doc: doc };
    }

    function walk(request) {
        const found = reach(request.frames);
        if (!found.doc)
            return failure(found.error, 0, [], 0);

        // A live collection: a click that changes the document is seen by later steps.
        const items = found.doc.getElementsByTagName(request.tag === '' ? '*' : request.tag);
        const length = items.length;
        const filter = allOf(request.filter);
        const rules = request.rules.map((rule) => ({
            test: allOf(rule.when),
            action: rule.action,
            value: rule.value,
        }));
        const ruleCount = rules.length;
        const positions = [];
        const texts = [];
        let clicks = 0;

        let first = 0;
        let end = length;
        if (request.onlyIndex >= 0) {
            if (request.onlyIndex >= length) {
                return failure('no element at ' + request.onlyIndex + ' (length ' + length + ')',
                               length, positions, clicks);
            }
            first = request.onlyIndex;
            end = first + 1;
        }

        for (let i = first; i < end; ++i) {
            const el = items[i];
            if (!el)
                return failure('no element at ' + i + ' (length now ' + items.length + ')',
                               length, positions, clicks);
            try {
                if (!filter(el))
                    continue;
                for (let r = 0; r < ruleCount; ++r) {
                    const rule = rules[r];
                    if (!rule.test(el))
                        continue;
                    if (rule.action === 'collect') {
                        positions.push(i);
                    } else if (rule.action === 'read') {
                        positions.push(i);
                        texts.push(text(el.innerText));
                    } else if (rule.action === 'click') {
                        click(el);
                        ++clicks;
                    } else if (rule.action === 'set') {
                        el.value = rule.value;
                    }
                }
            } catch (e) {
                return failure('element ' + i + ': ' + text(e), length, positions, clicks);
            }
        }
        return { ok: true, error: '', length: length, positions: positions, texts: texts,
                 clicks: clicks };
    }

    function resolve(path) {
        const found = reach(path);
        if (!found.doc)
            return failure(found.error, 0, [], 0);
        return { ok: true, error: '', length: 0, positions: [], clicks: 0 };
    }

    // A document keeps its name for as long as it stays; a new document in its place gets another,
    // even at the same address. The prefix keeps the names of this page apart from those given
    // before a reload, which runs this script afresh.
    const documentNames = new WeakMap();
    const namePrefix = Math.random().toString(36).slice(2) + '.';
    let nextName = 1;

    function documentInfo(path) {
        const found = reach(path);
        if (!found.doc)
            return { ok: false, error: found.error };
        let name = documentNames.get(found.doc);
        if (!name) {
            name = namePrefix + nextName++;
            documentNames.set(found.doc, name);
        }
        return { ok: true, error: '', url: found.doc.URL, identity: name,
                 complete: found.doc.readyState === 'complete' };
    }

    // Fetches by ticket. Kept until their answer is read, and never more than a few: a reader
    // that stopped asking leaves nothing to grow.
    const fetches = new Map();
    let nextTicket = 1;
    const kMaxFetches = 8;
    // A slow site's answer may take most of a minute: the session is asked at a minute's first
    // tick and looked at its last, forty seconds on.
    const kFetchTimeoutMs = 35000;
    const kMaxBody = 256 * 1024;

    // The answer's text in the charset it declares (the header, else a meta tag near the top):
    // text() would read a GBK page as UTF-8.
    function bodyText(response) {
        return response.arrayBuffer().then((buffer) => {
            const bytes = new Uint8Array(buffer, 0, Math.min(buffer.byteLength, kMaxBody));
            const declared = /charset\s*=\s*["']?([\w.:-]+)/i;
            let found = declared.exec(response.headers.get('content-type') || '');
            if (!found) {
                const head = new TextDecoder('windows-1252').decode(bytes.subarray(0, 2048));
                found = /<meta[^>]*charset\s*=\s*["']?([\w.:-]+)/i.exec(head);
            }
            let decoder = null;
            try {
                decoder = new TextDecoder(found ? found[1] : 'utf-8');
            } catch (e) {
                decoder = new TextDecoder('utf-8'); // a label the engine does not know
            }
            return decoder.decode(bytes);
        });
    }

    // GET of `address` with the page's own cookies and connection; nothing is shown or stored.
    // Redirects are followed: one that leaves the page's origin gives an opaque answer, whose
    // address and text stay hidden, which is said as such.
    function fetchUrl(address) {
        const ticket = nextTicket++;
        const entry = { status: 'pending' };
        fetches.set(ticket, entry);
        for (const old of fetches.keys()) {
            if (fetches.size <= kMaxFetches)
                break;
            fetches.delete(old);
        }
        const controller = new AbortController();
        const timer = setTimeout(() => controller.abort(), kFetchTimeoutMs);
        fetch(address, { method: 'GET', mode: 'no-cors', credentials: 'include', cache: 'no-store',
                         redirect: 'follow', signal: controller.signal })
            .then((response) => bodyText(response).then((body) => {
                entry.status = 'answered';
                entry.httpStatus = response.status;
                entry.leftOrigin = response.type === 'opaque';
                entry.url = response.url;
                entry.redirected = response.redirected || entry.leftOrigin;
                entry.body = body;
            }))
            .catch((e) => {
                entry.status = 'noanswer';
                entry.error = text(e && e.name ? e.name + ': ' + e.message : e);
            })
            .finally(() => clearTimeout(timer));
        return { ok: true, error: '', ticket: ticket };
    }

    function fetchAnswer(ticket) {
        const entry = fetches.get(ticket);
        if (!entry)
            return { ok: true, error: '', status: 'unknown' };
        if (entry.status !== 'pending')
            fetches.delete(ticket);
        return Object.assign({ ok: true, error: '' }, entry);
    }

    // Completed and frozen by js/media.js, which takes the helpers.
    globalThis.lumora = { walk: walk, resolve: resolve, documentInfo: documentInfo,
                          fetchUrl: fetchUrl, fetchAnswer: fetchAnswer,
                          helpers: { text: text, click: click } };
})();
