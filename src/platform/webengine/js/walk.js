// Page-side half of walk(), resolve(), documentUrl(), fetch(), fetchAnswer(), mediaErrors() and
// replayVideo(), and what a frame of another origin reports of itself (frameReport()). Installed
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
    const kFetchTimeoutMs = 15000;
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

    // Every document reachable from this one through frames, this one first.
    function eachDocument(doc, visit) {
        visit(doc);
        const win = doc.defaultView;
        for (let i = 0; win && i < win.length; ++i) {
            let inner = null;
            try {
                inner = win[i].document;
            } catch (e) {
                continue; // a cross-origin frame: out of reach
            }
            if (inner)
                eachDocument(inner, visit);
        }
    }

    // A video's sources that failed, asked for once more (HEAD, with the page's cookies) as soon
    // as their error shows: Chromium reports a source that never arrived (a 404, an expired link)
    // with the same code as one in a format it cannot play, and the answer's status tells them
    // apart. Its type is the source's type where neither the page nor the address says one.
    const sourceChecks = new Map(); // address -> {done, status, type}
    const kMaxSourceChecks = 16;

    function checkSource(address) {
        if (!/^https?:/i.test(address) || sourceChecks.has(address))
            return;
        const entry = { done: false, status: 0, type: '' };
        sourceChecks.set(address, entry);
        for (const old of sourceChecks.keys()) {
            if (sourceChecks.size <= kMaxSourceChecks)
                break;
            sourceChecks.delete(old);
        }
        const controller = new AbortController();
        const timer = setTimeout(() => controller.abort(), kFetchTimeoutMs);
        fetch(address, { method: 'HEAD', credentials: 'include', cache: 'no-store',
                         signal: controller.signal })
            .then((response) => {
                entry.status = response.status;
                entry.type = text(response.headers.get('content-type'));
            })
            .catch(() => {}) // no answer (a cross-origin source among others): status 0
            .finally(() => {
                entry.done = true;
                clearTimeout(timer);
            });
    }

    function videoSource(video) {
        if (video.currentSrc || video.src)
            return video.currentSrc || video.src;
        const source = video.querySelector('source[src]');
        return source ? source.src : '';
    }

    // Errors reach a listener of the document on their way down (they do not bubble): a video's
    // own, and each of its <source> elements'.
    const watched = new WeakSet();
    function watch(doc) {
        if (watched.has(doc))
            return;
        watched.add(doc);
        doc.addEventListener('error', (event) => {
            const el = event.target;
            if (el && el.tagName === 'VIDEO')
                checkSource(videoSource(el));
            else if (el && el.tagName === 'SOURCE' && el.parentElement &&
                     el.parentElement.tagName === 'VIDEO')
                checkSource(el.src);
        }, true);
    }
    watch(document);

    // MediaError.code; a video whose every <source> failed has none (it waits for another
    // source), yet it is a source that failed: 4, as for its src attribute.
    function errorCode(video) {
        if (video.error)
            return video.error.code;
        return video.networkState === HTMLMediaElement.NETWORK_NO_SOURCE &&
               video.querySelector('source') ? 4 : 0;
    }

    const kTypes = {
        mp4: 'video/mp4', m4v: 'video/mp4', mov: 'video/quicktime', webm: 'video/webm',
        ogg: 'video/ogg', ogv: 'video/ogg', m3u8: 'application/vnd.apple.mpegurl',
        mpd: 'application/dash+xml', flv: 'video/x-flv', f4v: 'video/x-f4v',
        mkv: 'video/x-matroska', avi: 'video/x-msvideo', wmv: 'video/x-ms-wmv',
        asf: 'video/x-ms-asf', rm: 'application/vnd.rn-realmedia', rmvb:
        'application/vnd.rn-realmedia-vbr', ts: 'video/mp2t', '3gp': 'video/3gpp',
    };

    // The type of a video's source as far as it is known; '' when it is not.
    function sourceType(video, address, check) {
        for (const source of video.children) {
            if (source.tagName === 'SOURCE' && source.src === address) {
                if (source.getAttribute('type'))
                    return source.getAttribute('type');
                break;
            }
        }
        if (video.getAttribute('type'))
            return video.getAttribute('type');
        let path = '';
        try {
            path = new URL(address).pathname;
        } catch (e) {
            return '';
        }
        const extension = /\.([0-9a-z]+)$/i.exec(path);
        if (extension && kTypes[extension[1].toLowerCase()])
            return kTypes[extension[1].toLowerCase()];
        // What the server says, unless it says nothing of the kind of media.
        const answered = check && check.status >= 200 && check.status < 300 ? check.type : '';
        return /^(video|audio|application\/(vnd|x-mpegurl|dash))/i.test(answered) ? answered : '';
    }

    // The lesson's video: the largest one shown, in any frame reached, else the first; with its
    // area on screen, to weigh it against videos the frames of other origins report.
    function lessonVideo() {
        let first = null;
        let largest = null;
        let largestArea = 0;
        eachDocument(document, (doc) => {
            watch(doc);
            for (const video of doc.getElementsByTagName('video')) {
                first = first || video;
                const box = video.getBoundingClientRect();
                const view = doc.defaultView;
                const area = box.width * box.height;
                if (area > largestArea &&
                    !(view && view.getComputedStyle(video).visibility === 'hidden')) {
                    largest = video;
                    largestArea = area;
                }
            }
        });
        return { video: largest || first, area: largestArea };
    }

    function seconds(value) {
        return Number.isFinite(value) ? value : 0;
    }

    function videoReport(found) {
        const video = found.video;
        if (!video)
            return { present: false, area: 0 };
        const code = errorCode(video);
        const address = videoSource(video);
        if (code !== 0)
            checkSource(address); // an error that came before its document was watched
        const check = sourceChecks.get(address);
        // A source whose check is under way, or that answered with an error status, failed: its
        // type says nothing of this engine.
        const failed = check !== undefined && (!check.done || check.status >= 400);
        const type = sourceType(video, address, check);
        return {
            present: true,
            currentTime: seconds(video.currentTime),
            duration: seconds(video.duration),
            paused: video.paused,
            ended: video.ended,
            readyState: video.readyState,
            errorCode: code,
            typeUnplayable: type !== '' && !failed && video.canPlayType(type) === '',
            area: found.area,
        };
    }

    // The first line of visible text of the first document reached that shows any, at most 40
    // characters: what a page without a video says instead ("今日学时已满").
    function firstLine() {
        let line = '';
        eachDocument(document, (doc) => {
            if (line !== '' || !doc.body)
                return;
            for (const candidate of text(doc.body.innerText).split('\n')) {
                line = candidate.trim();
                if (line !== '')
                    break;
            }
        });
        return line.slice(0, 40);
    }

    function errorCodes() {
        const codes = [];
        eachDocument(document, (doc) => {
            for (const video of doc.getElementsByTagName('video')) {
                const code = errorCode(video);
                if (code !== 0)
                    codes.push(code);
            }
        });
        return codes;
    }

    function mediaErrors() {
        return { ok: true, error: '', codes: errorCodes(), video: videoReport(lessonVideo()),
                 firstLine: firstLine() };
    }

    // What a frame out of the top document's reach tells the host about itself (js/frame_video.js).
    function frameReport() {
        return { codes: errorCodes(), video: videoReport(lessonVideo()), line: firstLine() };
    }

    // Frames of every origin, at any depth: a window's frames and postMessage() are open to
    // other origins.
    function postToFrames(win, message) {
        for (let i = 0; i < win.length; ++i) {
            win[i].postMessage(message, '*');
            postToFrames(win[i], message);
        }
    }

    // Plays the lesson's video again from its beginning. `otherArea` and `otherFrame` name the
    // largest video a frame of another origin reported: when it is larger than any reached here,
    // that frame is asked to replay its own.
    function replayVideo(otherArea, otherFrame) {
        const found = lessonVideo();
        if (otherFrame && (!found.video || otherArea > found.area)) {
            postToFrames(window, { lumoraReplay: otherFrame });
            return { ok: true, error: '' };
        }
        const video = found.video;
        if (!video)
            return { ok: false, error: 'no video' };
        try {
            video.currentTime = 0;
        } catch (e) {
            // a live stream has no beginning to go back to
        }
        const playing = video.play();
        if (playing)
            playing.catch(() => {});
        return { ok: true, error: '' };
    }

    globalThis.lumora = Object.freeze({ walk: walk, resolve: resolve, documentInfo: documentInfo,
                                        fetchUrl: fetchUrl, fetchAnswer: fetchAnswer,
                                        mediaErrors: mediaErrors, frameReport: frameReport,
                                        replayVideo: replayVideo });
})();
