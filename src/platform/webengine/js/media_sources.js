// What a lesson's medium plays and why it fails: its source, its MediaError code, and the type of
// a source that failed, asked for once more. Runs between js/walk.js and js/media.js in the same
// isolated world, and gives the media report its helpers (lumora.helpers.sources).
(function (page) {
    'use strict';
    const text = page.helpers.text;
    const kFetchTimeoutMs = 15000;

    // A medium's sources that failed, asked for once more (HEAD, with the page's cookies) as soon
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

    function isMedium(el) {
        return el.localName === 'video' || el.localName === 'audio';
    }

    function mediumSource(medium) {
        if (medium.currentSrc || medium.src)
            return medium.currentSrc || medium.src;
        const source = medium.querySelector('source[src]');
        return source ? source.src : '';
    }

    // Errors reach a listener of the document, or of the shadow root, on their way down (they do
    // not bubble, nor leave a shadow root): a medium's own, and each of its <source> elements'.
    const watched = new WeakSet();
    function watch(root) {
        if (watched.has(root))
            return;
        watched.add(root);
        root.addEventListener('error', (event) => {
            const el = event.target;
            if (el && isMedium(el))
                checkSource(mediumSource(el));
            else if (el && el.localName === 'source' && el.parentElement &&
                     isMedium(el.parentElement))
                checkSource(el.src);
        }, true);
    }
    watch(document);

    // MediaError.code; a medium whose every <source> failed has none (it waits for another
    // source), yet it is a source that failed: 4, as for its src attribute.
    function errorCode(medium) {
        if (medium.error)
            return medium.error.code;
        return medium.networkState === HTMLMediaElement.NETWORK_NO_SOURCE &&
               medium.querySelector('source') ? 4 : 0;
    }

    const kTypes = {
        mp4: 'video/mp4', m4v: 'video/mp4', mov: 'video/quicktime', webm: 'video/webm',
        ogg: 'video/ogg', ogv: 'video/ogg', m3u8: 'application/vnd.apple.mpegurl',
        mpd: 'application/dash+xml', flv: 'video/x-flv', f4v: 'video/x-f4v',
        mkv: 'video/x-matroska', avi: 'video/x-msvideo', wmv: 'video/x-ms-wmv',
        asf: 'video/x-ms-asf', rm: 'application/vnd.rn-realmedia', rmvb:
        'application/vnd.rn-realmedia-vbr', ts: 'video/mp2t', '3gp': 'video/3gpp',
        mp3: 'audio/mpeg', m4a: 'audio/mp4', aac: 'audio/aac', wav: 'audio/wav',
        oga: 'audio/ogg', opus: 'audio/ogg', flac: 'audio/flac', wma: 'audio/x-ms-wma',
    };

    // The type of a medium's source as far as it is known; '' when it is not.
    function sourceType(medium, address, check) {
        for (const source of medium.children) {
            if (source.localName === 'source' && source.src === address) {
                if (source.getAttribute('type'))
                    return source.getAttribute('type');
                break;
            }
        }
        if (medium.getAttribute('type'))
            return medium.getAttribute('type');
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


    // What `medium` plays, its error code, and whether the engine says it cannot play its type.
    function describe(medium) {
        const code = errorCode(medium);
        const address = mediumSource(medium);
        if (code !== 0)
            checkSource(address); // an error that came before its document was watched
        const check = sourceChecks.get(address);
        // A source whose check is under way, or that answered with an error status, failed: its
        // type says nothing of this engine.
        const failed = check !== undefined && (!check.done || check.status >= 400);
        const type = sourceType(medium, address, check);
        return { source: address, errorCode: code,
                 typeUnplayable: type !== '' && !failed && medium.canPlayType(type) === '' };
    }

    page.helpers.sources = { watch: watch, errorCode: errorCode, describe: describe };
})(globalThis.lumora);
