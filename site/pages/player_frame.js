// The frame of another origin that plays a player's video: it tells its player what the video
// does, twice per heartbeat of the player, and stops when the player stops.
(function () {
  'use strict';
  var heartbeatMs = parseInt(document.getElementById('player').dataset.heartbeatMs, 10) || 1000;
  setInterval(function () {
    parent.postMessage({ playerVideo: lessonVideo.seen() }, '*');
  }, Math.min(1000, Math.max(10, heartbeatMs / 2)));
  window.addEventListener('message', function (event) {
    if (event.source === parent && event.data && event.data.playerStop) { lessonVideo.stop(); }
  });
})();
