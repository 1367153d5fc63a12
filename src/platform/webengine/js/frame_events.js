// Reports each frame document's load to the host as a console message. WORKAROUND (Qt 6.4.2):
// the engine tells the host only about the top-level document. Runs in the isolated world of
// every subframe, including frames that load or navigate later. The tag is baked in by the host
// per run and cannot be read by the page; the host also checks that the message comes from
// this script.
(function (tag) {
    'use strict';
    if (window.top === window)
        return; // the host reports the top-level document itself
    window.addEventListener('load', function () {
        console.log(tag + ' ' + document.location.href);
    });
})
