// Reports the lesson's medium of a frame the top document cannot reach (another origin, or inside
// one), what it plays and whether the frame shows a document, to the host as console messages:
// lesson players often sit in a frame of a video host. Runs after
// walk.js in the isolated world of every subframe and uses its functions. The tag is baked in by
// the host per run and cannot be read by the page; the host also checks that the message comes
// from this script. A report goes out when the video starts, stops, ends, fails or is sought, at
// most once a second while it plays, and every two seconds in any case, so that a frame that
// went away falls silent and its last report grows stale.
(function (tag) {
    'use strict';
    if (window.top === window)
        return;
    try {
        for (let w = window.parent; ; w = w.parent) {
            void w.document; // throws across origins
            if (w === window.top)
                return; // the top document's own walk sees this frame
        }
    } catch (e) {
        // out of reach: report
    }
    const page = globalThis.lumora;
    const frame = Math.random().toString(36).slice(2);
    let lastTimeUpdate = 0;

    function send(gone) {
        let report = { frame: frame, gone: true };
        if (!gone) {
            try {
                report = Object.assign({ frame: frame }, page.frameReport());
            } catch (e) {
                return; // a document on its way out
            }
        }
        console.log(tag + ' ' + JSON.stringify(report));
    }

    // Media events do not bubble: a listener of the document catches them on their way down.
    for (const type of ['play', 'pause', 'ended', 'error', 'seeked', 'loadedmetadata'])
        document.addEventListener(type, () => send(false), true);
    document.addEventListener('timeupdate', () => {
        const now = Date.now();
        if (now - lastTimeUpdate >= 1000) {
            lastTimeUpdate = now;
            send(false);
        }
    }, true);
    window.addEventListener('load', () => send(false));
    setInterval(() => send(false), 2000);
    window.addEventListener('pagehide', () => send(true));
    // The top document asks the frame whose video is the lesson's to play it again, or to press
    // the continue control beside it.
    window.addEventListener('message', (event) => {
        if (!event.data)
            return;
        if (event.data.lumoraReplay === frame)
            page.replayVideo();
        else if (event.data.lumoraPress === frame && Array.isArray(event.data.wanted))
            page.clickControl(event.data.wanted.map(String));
    });
})
