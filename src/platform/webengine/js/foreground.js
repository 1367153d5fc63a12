// Keeps a page studying as if its window were in front, where the engine has no switch for it.
// While the window is minimised or hidden the engine treats the page as hidden, so that it is
// not drawn (engine_switches.cpp keeps its timers and video at full rate); it also tells the
// page when the window loses focus, and gives the keyboard focus to one of the two views only.
// Here the page always reads "visible" and focused, and the events announcing otherwise stop
// before its own listeners. Main world, every frame, before any page script.
(function () {
    'use strict';
    const proto = Document.prototype;
    const define = (name, descriptor) =>
        Object.defineProperty(proto, name, Object.assign({ enumerable: true, configurable: true },
                                                         descriptor));
    define('visibilityState', { get: function visibilityState() { return 'visible'; } });
    define('hidden', { get: function hidden() { return false; } });
    if ('webkitHidden' in proto) {
        define('webkitVisibilityState', { get: function webkitVisibilityState() { return 'visible'; } });
        define('webkitHidden', { get: function webkitHidden() { return false; } });
    }
    define('hasFocus', { value: function hasFocus() { return true; }, writable: true });
    // Capture listeners on the window run before any listener the page adds, on the window or
    // on the document.
    const stop = (event) => event.stopImmediatePropagation();
    window.addEventListener('visibilitychange', stop, true);
    window.addEventListener('webkitvisibilitychange', stop, true);
    window.addEventListener('blur', (event) => { if (event.target === window) stop(event); }, true);
})();
