// Attaches the page's shadow roots open. WORKAROUND (Qt 6.4.2): our page scripts run in an
// isolated world, to which a closed shadow root is out of reach (its host's shadowRoot reads null
// there too), and a lesson's player may keep its video, or its questions, in one. attachShadow is
// wrapped so that every root the page attaches is open; the page still gets its root and uses it
// as before. Main world, every frame, before any page script. Once per realm: a second run in the
// same one (a document replacing the initial empty one) finds the wrapper by the tag only the
// host knows.
(function (tag) {
    'use strict';
    const proto = Element.prototype;
    const original = proto.attachShadow;
    if (typeof original !== 'function' || original[tag] === true)
        return;
    // A proxy of the engine's own function: its name, length and source text ("[native code]")
    // stay the engine's, for pages that look at them.
    const wrapper = new Proxy(original, {
        apply(target, self, args) {
            const init = args[0];
            if (init !== null && typeof init === 'object' && init.mode === 'closed') {
                // The page's other options are read through the prototype, as from its own object.
                const opened = Object.create(init);
                Object.defineProperty(opened, 'mode', { value: 'open', enumerable: true });
                args[0] = opened;
            }
            return Reflect.apply(target, self, args);
        },
        get(target, key, receiver) {
            return key === tag ? true : Reflect.get(target, key, receiver);
        },
    });
    const descriptor = Object.getOwnPropertyDescriptor(proto, 'attachShadow');
    descriptor.value = wrapper;
    Object.defineProperty(proto, 'attachShadow', descriptor);
})
