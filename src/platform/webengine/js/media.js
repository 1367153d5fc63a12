// Page-side half of mediaErrors(), replayVideo() and clickControl(), and what a frame of another
// origin reports of itself (frameReport()). Runs right after js/walk.js and js/media_sources.js
// in the same isolated world, takes their helpers and completes the lumora object. Each call
// takes one look over the page (survey()): every document reached through frames and every open
// shadow root in them, each element visited once; text and layout are read only for the few
// elements that may count.
(function (page) {
    'use strict';
    const text = page.helpers.text;
    const click = page.helpers.click;
    const sources = page.helpers.sources;
    const kMaxControls = 16;
    const kMaxControlText = 12;
    const kMaxContext = 60;

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

    // A frame at one of these addresses shows a document, not a medium.
    const kDocumentPath = /\.(pdf|docx?|pptx?)$/i;
    function isDocumentAddress(address) {
        try {
            return kDocumentPath.test(new URL(address).pathname);
        } catch (e) {
            return false; // no address (srcdoc, about:blank)
        }
    }

    function hasBox(el) {
        return el.getClientRects().length > 0;
    }

    // An <embed> or <object> shown that is not a picture (a logo in SVG is one).
    function showsDocument(el) {
        const type = text(el.getAttribute('type'));
        const address = text(el.getAttribute(el.localName === 'object' ? 'data' : 'src'));
        return !/^image\//i.test(type) && !/\.(svg|png|gif|jpe?g|webp)([?#]|$)/i.test(address) &&
               hasBox(el);
    }

    function mayBeControl(el, name) {
        if (name === 'button' || name === 'a')
            return true;
        if (name === 'input' && (el.type === 'button' || el.type === 'submit'))
            return true;
        return el.hasAttribute('onclick') ||
               text(el.getAttribute('role')).trim().toLowerCase() === 'button';
    }

    // One look over the page: its media, whether it shows a document, and the elements that may
    // be controls, each in document order (an open shadow root's at its host).
    function survey() {
        const found = { videos: [], audios: [], documentShown: false, controls: [] };
        const visit = (root) => {
            for (const el of root.querySelectorAll('*')) {
                const name = el.localName;
                if (name === 'video') {
                    found.videos.push(el);
                } else if (name === 'audio') {
                    found.audios.push(el);
                } else if (name === 'embed' || name === 'object') {
                    found.documentShown = found.documentShown || showsDocument(el);
                } else if (name === 'iframe' || name === 'frame') {
                    found.documentShown = found.documentShown || isDocumentAddress(el.src);
                }
                if (mayBeControl(el, name))
                    found.controls.push(el);
                const shadow = el.shadowRoot;
                if (shadow) {
                    sources.watch(shadow);
                    visit(shadow);
                }
            }
        };
        eachDocument(document, (doc) => {
            sources.watch(doc);
            found.documentShown = found.documentShown || isDocumentAddress(doc.URL);
            visit(doc);
        });
        return found;
    }

    // The lesson's medium: the largest video shown, else the first; with its area on screen, to
    // weigh it against the media the frames of other origins report. On a page without a video,
    // the first audio element that plays, else the first.
    function lessonMedium(found) {
        let largest = null;
        let largestArea = 0;
        for (const video of found.videos) {
            const box = video.getBoundingClientRect();
            const view = video.ownerDocument.defaultView;
            const area = box.width * box.height;
            if (area > largestArea &&
                !(view && view.getComputedStyle(video).visibility === 'hidden')) {
                largest = video;
                largestArea = area;
            }
        }
        if (found.videos.length > 0)
            return { medium: largest || found.videos[0], area: largestArea, audio: false };
        const playing = found.audios.find((audio) => !audio.paused && !audio.ended);
        return { medium: playing || found.audios[0] || null, area: 0, audio: true };
    }

    function seconds(value) {
        return Number.isFinite(value) ? value : 0;
    }

    function mediumReport(lesson) {
        const medium = lesson.medium;
        if (!medium)
            return { present: false, area: 0 };
        return Object.assign({
            present: true,
            currentTime: seconds(medium.currentTime),
            duration: seconds(medium.duration),
            paused: medium.paused,
            ended: medium.ended,
            readyState: medium.readyState,
            audio: lesson.audio,
            area: lesson.area,
        }, sources.describe(medium)); // source, errorCode, typeUnplayable
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

    // The error codes of the videos, and of the lesson's medium when it is an audio element.
    function errorCodes(found, lesson) {
        const codes = [];
        for (const video of found.videos) {
            const code = sources.errorCode(video);
            if (code !== 0)
                codes.push(code);
        }
        if (lesson.audio && lesson.medium && sources.errorCode(lesson.medium) !== 0)
            codes.push(sources.errorCode(lesson.medium));
        return codes;
    }

    function showsDocumentOnly(found) {
        return found.documentShown && found.videos.length === 0 && found.audios.length === 0;
    }

    // Text in one line: runs of white space as one space, trimmed.
    function oneLine(value) {
        return text(value).replace(/\s+/g, ' ').trim();
    }

    function characters(value) {
        return [...value].length;
    }

    // The candidates that are controls: shown (a box, not hidden), with a text of 1 to 12
    // characters that `wanted` accepts; at most `limit`, each with its text.
    function controlsOf(candidates, wanted, limit) {
        const out = [];
        for (const el of candidates) {
            if (out.length >= limit)
                break;
            const said = oneLine(el.localName === 'input' ? el.value : el.innerText);
            const length = characters(said);
            if (length === 0 || length > kMaxControlText || !wanted(said) || !hasBox(el))
                continue;
            const view = el.ownerDocument.defaultView;
            if (view && view.getComputedStyle(el).visibility === 'hidden')
                continue;
            out.push({ el: el, text: said });
        }
        return out;
    }

    // The visible text of the nearest element around `el`, out of shadow roots to their hosts,
    // whose text is longer than `own`: the question a button answers. `read` keeps the texts
    // read for one report, since controls often share their ancestors.
    function contextOf(el, own, read) {
        const enclosing = (node) =>
            node.parentElement || (node.parentNode && node.parentNode.host) || null;
        for (let up = enclosing(el); up; up = enclosing(up)) {
            let said = read.get(up);
            if (said === undefined) {
                said = oneLine(up.innerText);
                read.set(up, said);
            }
            if (characters(said) > characters(own))
                return [...said].slice(0, kMaxContext).join('');
        }
        return '';
    }

    function controlsReport(found) {
        const read = new Map();
        return controlsOf(found.controls, () => true, kMaxControls).map((control) => ({
            text: control.text, context: contextOf(control.el, control.text, read) }));
    }

    function mediaErrors() {
        const found = survey();
        const lesson = lessonMedium(found);
        return { ok: true, error: '', codes: errorCodes(found, lesson),
                 video: mediumReport(lesson), firstLine: firstLine(),
                 documentMedium: showsDocumentOnly(found), controls: controlsReport(found) };
    }

    // What a frame out of the top document's reach tells the host about itself (js/frame_video.js).
    function frameReport() {
        const found = survey();
        const lesson = lessonMedium(found);
        return { codes: errorCodes(found, lesson), video: mediumReport(lesson), line: firstLine(),
                 documentMedium: showsDocumentOnly(found), controls: controlsReport(found) };
    }

    // Clicks the first control whose text is wanted[0], else wanted[1] ...; answers the text
    // clicked. `other` ({frame, text}), when given, names the frame of another origin that plays
    // the lesson and the wanted text its last report showed: with none here, that frame is asked
    // to press it (its question sits beside its video, out of this document's reach).
    function clickControl(wanted, other) {
        const names = new Set(wanted);
        const matches = controlsOf(survey().controls, (said) => names.has(said), Infinity);
        for (const name of wanted) {
            const match = matches.find((control) => control.text === name);
            if (match) {
                click(match.el);
                return { ok: true, error: '', clicked: name };
            }
        }
        if (other && other.frame && names.has(other.text)) {
            postToFrames(window, { lumoraPress: other.frame, wanted: [other.text] });
            return { ok: true, error: '', clicked: other.text };
        }
        return { ok: true, error: '', clicked: '' };
    }

    // Frames of every origin, at any depth: a window's frames and postMessage() are open to
    // other origins.
    function postToFrames(win, message) {
        for (let i = 0; i < win.length; ++i) {
            win[i].postMessage(message, '*');
            postToFrames(win[i], message);
        }
    }

    // Whether the medium a frame of another origin reported ({frame, area, audio, playing}) is the
    // lesson's rather than `lesson`, the one reached here: a video beats an audio element, the
    // larger video the smaller (a tie goes to the one reached), a playing audio element one that
    // does not play. frame_videos.cpp weighs them the same way.
    function otherIsLesson(lesson, other) {
        if (!other || !other.frame)
            return false;
        if (!lesson.medium)
            return true;
        if (lesson.audio !== other.audio)
            return lesson.audio;
        if (!lesson.audio)
            return other.area > lesson.area;
        return other.playing && (lesson.medium.paused || lesson.medium.ended);
    }

    // Plays the lesson's medium again from its beginning. `other` names the medium a frame of
    // another origin reported: when that one is the lesson's, its frame is asked to replay it.
    function replayVideo(other) {
        const lesson = lessonMedium(survey());
        if (otherIsLesson(lesson, other)) {
            postToFrames(window, { lumoraReplay: other.frame });
            return { ok: true, error: '' };
        }
        const medium = lesson.medium;
        if (!medium)
            return { ok: false, error: 'no video' };
        try {
            medium.currentTime = 0;
        } catch (e) {
            // a live stream has no beginning to go back to
        }
        const playing = medium.play();
        if (playing)
            playing.catch(() => {});
        return { ok: true, error: '' };
    }

    globalThis.lumora = Object.freeze({ walk: page.walk, resolve: page.resolve,
                                        documentInfo: page.documentInfo, fetchUrl: page.fetchUrl,
                                        fetchAnswer: page.fetchAnswer, mediaErrors: mediaErrors,
                                        frameReport: frameReport, clickControl: clickControl,
                                        replayVideo: replayVideo });
})(globalThis.lumora);
