// The lesson's video: a canvas animation, shown through a muted, autoplaying <video> fed by the
// canvas's capture stream. The site may instead give the video an MP4 lesson, a source it cannot
// play or cannot fetch (data-media), a length after which it ends, a question that pauses it, and
// a clock faster than real time to follow; or play the lesson with an <audio> element, with a
// <video> the page builds in a shadow root, or show a document with no medium at all. The medium
// may wait for a button or a dialog to start, and a pre-roll may play before the lesson. Runs in
// the player page, or in the frame of another origin that plays the video for its player
// (player_frame.js); player.js reports what it shows.
var lessonVideo = (function () {
  'use strict';
  var box = document.getElementById('player');
  var media = box.dataset.media;
  if (media === 'pdf') { // a document lesson: nothing plays
    var nothing = { videoPlaying: false, videoEnded: false, videoTime: null, videoError: null };
    return { seen: function () { return nothing; }, stop: function () {} };
  }
  var title = document.getElementById('lessonTitle').textContent;
  var canvas = document.getElementById('screen');

  // A <video> the page builds inside the shadow root of its own element; with a closed root no
  // other script reaches it, and this one keeps the only reference.
  function shadowVideo(host) {
    if (!customElements.get('lesson-player')) {
      customElements.define('lesson-player', class extends HTMLElement {});
    }
    var made = document.createElement('video');
    made.width = 800;
    made.height = 450;
    made.muted = true;
    made.autoplay = true;
    made.playsInline = true;
    host.attachShadow({ mode: host.dataset.shadow }).appendChild(made);
    return made;
  }
  var host = document.getElementById('lessonPlayer');
  var video = host ? shadowVideo(host)
                   : document.getElementById('video') || document.getElementById('audio');
  var stopped = false;
  var started = performance.now();

  function clockText(seconds) {
    var m = Math.floor(seconds / 60), s = Math.floor(seconds % 60);
    return (m < 10 ? '0' : '') + m + ':' + (s < 10 ? '0' : '') + s;
  }

  function draw(now) {
    var ctx = canvas.getContext('2d');
    var w = canvas.width, h = canvas.height, t = (now - started) / 1000;
    var sky = ctx.createLinearGradient(0, 0, w, h);
    sky.addColorStop(0, 'hsl(' + ((t * 12) % 360) + ', 55%, 32%)');
    sky.addColorStop(1, 'hsl(' + ((t * 12 + 140) % 360) + ', 55%, 22%)');
    ctx.fillStyle = sky;
    ctx.fillRect(0, 0, w, h);
    for (var i = 0; i < 6; i++) {
      var x = w / 2 + Math.cos(t * (0.6 + i * 0.17) + i) * w * 0.36;
      var y = h / 2 + Math.sin(t * (0.9 + i * 0.13) + i * 2) * h * 0.32;
      ctx.beginPath();
      ctx.arc(x, y, 16 + i * 5, 0, Math.PI * 2);
      ctx.fillStyle = 'rgba(255, 255, 255, ' + (0.12 + i * 0.06) + ')';
      ctx.fill();
    }
    ctx.fillStyle = '#fff';
    ctx.textAlign = 'center';
    ctx.font = '30px sans-serif';
    ctx.fillText(title, w / 2, h / 2);
    ctx.font = '16px sans-serif';
    ctx.fillText(stopped ? '课件已退出' : '播放中 ' + clockText(t), w / 2, h - 26);
    ctx.fillStyle = 'rgba(255, 255, 255, 0.8)';
    ctx.fillRect(0, h - 6, w * ((t % 60) / 60), 6);
    if (!stopped) { requestAnimationFrame(draw); }
  }
  requestAnimationFrame(draw);

  // The parts of a WebM file up to its first frame: the EBML header, a segment of unknown
  // size, its Info and one VP8 video track.
  function webmHeader() {
    function element(id, body) { // with an 8-byte size
      var out = id.slice();
      out.push(1);
      for (var shift = 48; shift >= 0; shift -= 8) {
        out.push(Math.floor(body.length / Math.pow(2, shift)) % 256);
      }
      return out.concat(body);
    }
    function uint(id, value) {
      return element(id, [value >>> 24, (value >>> 16) & 255, (value >>> 8) & 255, value & 255]);
    }
    function text(id, value) {
      return element(id, value.split('').map(function (c) { return c.charCodeAt(0); }));
    }
    var ebml = element([0x1A, 0x45, 0xDF, 0xA3], [].concat(
      uint([0x42, 0x86], 1), uint([0x42, 0xF7], 1), uint([0x42, 0xF2], 4), uint([0x42, 0xF3], 8),
      text([0x42, 0x82], 'webm'), uint([0x42, 0x87], 2), uint([0x42, 0x85], 2)));
    var segment = [0x18, 0x53, 0x80, 0x67, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF];
    var info = element([0x15, 0x49, 0xA9, 0x66], uint([0x2A, 0xD7, 0xB1], 1000000));
    var track = element([0xAE], [].concat(
      uint([0xD7], 1), uint([0x73, 0xC5], 1), uint([0x83], 1), text([0x86], 'V_VP8'),
      element([0xE0], uint([0xB0], 320).concat(uint([0xBA], 180)))));
    var tracks = element([0x16, 0x54, 0xAE, 0x6B], track);
    return new Uint8Array(ebml.concat(segment, info, tracks));
  }

  // A stream that gets as far as its metadata and then ends as undecodable, so the video's
  // error is MEDIA_ERR_DECODE rather than "not supported".
  function breakVideo() {
    var source = new MediaSource();
    var buffer = null;
    function end() {
      if (buffer && !buffer.updating && video.readyState >= 1 && source.readyState === 'open') {
        source.endOfStream('decode');
      }
    }
    source.addEventListener('sourceopen', function () {
      buffer = source.addSourceBuffer('video/webm; codecs="vp8"');
      buffer.addEventListener('updateend', end);
      buffer.appendBuffer(webmHeader());
    });
    video.addEventListener('loadedmetadata', end);
    video.src = URL.createObjectURL(source);
  }

  // The video plays what the canvas draws (a page the engine treats as hidden draws no frames,
  // and the video's time stands still), or what the site gave it; a shadow root's as the canvas.
  var kind = host ? 'canvas' : media;
  var videoSeconds = parseInt(box.dataset.videoSeconds, 10) || 0;
  var overlayAfter = parseInt(box.dataset.overlayAfter, 10) || 0;
  var timeScale = parseFloat(box.dataset.timeScale) || 0;
  // A lesson that ends, or whose clock follows the site's, plays a silent track of its length
  // (a day for one that never ends), which the element can end and seek by itself; so does an
  // audio lesson.
  var timed = kind === 'audio' ||
              ((videoSeconds > 0 || timeScale > 0) && (kind === 'canvas' || kind === 'mp4'));
  function loadLesson() {
    if (kind === 'unsupported') {
      video.src = '/player/media/unsupported';
    } else if (kind === 'missing') { // a broken link: the address answers 404
      video.src = '/player/media/missing.mp4';
    } else if (timed) {
      // Each page asks the host itself: the engine may hand a page the media another page of
      // the same address loaded, and a host that is down would then still seem to serve.
      video.src = '/player/media/lesson.wav?seconds=' + videoSeconds + '&page=' + Date.now();
    } else if (kind === 'mp4') { // a short lesson standing in for a long one
      video.loop = true;
      video.src = '/player/media/lesson.mp4?page=' + Date.now();
    } else if (kind === 'broken' && window.MediaSource) {
      breakVideo();
    } else if (canvas.captureStream) {
      video.removeAttribute('src');
      video.srcObject = canvas.captureStream(25);
    }
  }
  function begin() { video.play().catch(function () {}); }

  // A pre-roll plays first, from another source; when it ends the same element plays the lesson.
  var preroll = parseInt(box.dataset.preroll, 10) || 0;
  var inPreroll = preroll > 0;
  var start = box.dataset.start || 'autoplay';
  video.autoplay = start === 'autoplay';
  if (inPreroll) {
    video.src = '/player/media/preroll.wav?seconds=' + preroll + '&page=' + Date.now();
    var lessonAfterPreroll = function () {
      video.removeEventListener('ended', lessonAfterPreroll);
      inPreroll = false;
      document.getElementById('adLabel').hidden = true;
      lesson.time = 0;
      video.autoplay = true;
      loadLesson();
      begin();
    };
    video.addEventListener('ended', lessonAfterPreroll);
  } else {
    loadLesson();
  }
  // A medium that does not start by itself: a 播放 button, or a dialog asking where to go on.
  var gate = document.getElementById(start === 'button' ? 'playButton' : 'resumeDialog');
  if (start === 'autoplay' || !gate) {
    begin();
  } else {
    var startFrom = function (beginning) {
      gate.hidden = true;
      if (beginning && !inPreroll) {
        video.currentTime = 0;
      }
      begin();
    };
    if (start === 'button') {
      gate.addEventListener('click', function () { startFrom(false); });
    } else {
      document.getElementById('resumeButton').addEventListener('click', function () {
        startFrom(false);
      });
      document.getElementById('restartButton').addEventListener('click', function () {
        startFrom(true);
      });
    }
  }

  // The lesson's time as this page plays it: with a time scale, the site clock while the video
  // plays, the element sought there whenever it falls behind; without one, the element's own.
  var overlay = document.getElementById('overlay');
  var lesson = { time: 0, sincePause: 0, siteMs: null, ownSeeks: 0 };
  function playing() { return !video.paused && !video.ended; }
  function played(seconds) {
    if (seconds <= 0 || !playing() || inPreroll) { return; }
    lesson.sincePause += seconds;
    if (overlayAfter > 0 && lesson.sincePause >= overlayAfter) { // a question for the learner
      overlay.hidden = false;
      video.pause();
    }
  }
  video.addEventListener('seeking', function () {
    if (lesson.ownSeeks > 0) { lesson.ownSeeks--; } else { lesson.time = video.currentTime; }
  });
  // Only its button resumes a video paused behind the question.
  video.addEventListener('play', function () { if (!overlay.hidden) { video.pause(); } });
  document.getElementById('continueButton').addEventListener('click', function () {
    overlay.hidden = true;
    lesson.sincePause = 0;
    video.play().catch(function () {});
  });
  function followSite(siteMs) {
    if (lesson.siteMs !== null && playing()) {
      var step = (siteMs - lesson.siteMs) / 1000;
      lesson.time = Math.min(lesson.time + step, video.duration || Infinity);
      played(step);
      // Never back: where the site clock stood still (a page loading), the element went on.
      if (playing() && lesson.time - video.currentTime > 0.25) {
        lesson.ownSeeks++;
        video.currentTime = lesson.time;
      }
    }
    lesson.siteMs = siteMs;
  }
  // The video host is down: a video that plays asks it for more and fails, as a stream would.
  function streamLost() {
    if (video.error || !video.src) { return; }
    video.src = video.src.split('&lost=')[0] + '&lost=' + Date.now();
    video.play().catch(function () {});
  }
  if (timed && timeScale > 0) {
    // Whoever runs the site clock faster than real time may hold it while the video starts,
    // which takes the engine as long as at real speed.
    var settled = function () {
      video.removeEventListener('playing', settled);
      video.removeEventListener('error', settled);
      fetch('/_site/video-settled', { method: 'POST', cache: 'no-store' }).catch(function () {});
    };
    video.addEventListener('playing', settled);
    video.addEventListener('error', settled);
    var syncClock = function () {
      fetch('/_site/clock', { cache: 'no-store' })
        .then(function (r) { return r.json(); })
        .then(function (j) {
          if (j.videoOutage) { streamLost(); }
          followSite(j.ms);
        })
        .catch(function () {})
        .then(function () { if (!stopped) { setTimeout(syncClock, 10); } });
    };
    syncClock();
  } else if (overlayAfter > 0) {
    var last = 0;
    setInterval(function () {
      var now = video.currentTime;
      played(now >= last ? now - last : now); // a looping video went round
      last = now;
    }, 200);
  }

  return {
    seen: function () {
      if (inPreroll) { // what plays is not the lesson
        return { videoPlaying: false, videoEnded: false, videoTime: 0, videoError: null,
                 preroll: true };
      }
      return {
        videoPlaying: playing() && !video.error,
        videoEnded: video.ended,
        videoTime: video.currentTime,
        videoError: video.error ? video.error.code : null
      };
    },
    stop: function () {
      stopped = true;
      video.pause();
    }
  };
})();
