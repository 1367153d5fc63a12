// The page a lesson link opens before the player: after a while it hands its window on to the
// player, replacing itself in the window's history, or by posting a form.
(function () {
  'use strict';
  var entry = document.getElementById('entry');
  setTimeout(function () {
    if (entry.dataset.method === 'post') {
      document.getElementById('enterForm').submit();
    } else {
      location.replace(entry.dataset.target);
    }
  }, parseInt(entry.dataset.delayMs, 10) || 0);
})();
