// Keeps a page studying as if its window were in front, where the engine has no switch for it.
// The host keeps the page visible to the engine while the window is minimised, hidden, covered
// or unfocused (WebEngineBrowser::keepVisible), but the engine still tells the page: for a
// moment it is hidden (a visibilitychange event), the window lost focus (a blur event), and
// only one of the two views can hold the keyboard focus. This script stops those events before
// the page's own listeners see them and makes document.hasFocus() answer true. Runs in the main
// world of every frame before any page script; the visible state itself comes from the engine.
(function () {
    'use strict';
    const visibility = Object.getOwnPropertyDescriptor(Document.prototype, 'visibilityState');
    const readVisibility = visibility && visibility.get;
    // Capture listeners on the window run before any listener the page adds, on the window or
    // on the document.
    window.addEventListener('visibilitychange', function (event) {
        if (!readVisibility || readVisibility.call(document) !== 'visible')
            event.stopImmediatePropagation();
    }, true);
    window.addEventListener('blur', function (event) {
        if (event.target === window)
            event.stopImmediatePropagation();
    }, true);
    Object.defineProperty(Document.prototype, 'hasFocus', {
        value: function hasFocus() {
            return true;
        },
        writable: true,
        enumerable: true,
        configurable: true,
    });
})();
