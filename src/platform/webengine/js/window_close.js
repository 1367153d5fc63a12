// Makes window.close() visible to the host. WORKAROUND (Qt 6.4.2): the engine ignores close()
// on a window that no script opened, with only a console warning, and tells the host nothing;
// this wrapper logs a tagged message first and then calls the original. Runs in the page's
// main world (it must replace the page's window.close), top-level document only. The wrapper is
// a bound function, so its source, and with it the tag, cannot be read back by the page.
(function (tag) {
    'use strict';
    const originalClose = window.close;
    const log = console.log.bind(console); // taken before any page script can replace it
    const wrapper = function () {
        try {
            log(tag);
        } catch (e) {
            // Reporting must never keep the page from closing.
        }
        return originalClose.call(window);
    };
    window.close = wrapper.bind(window);
})
