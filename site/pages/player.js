// The lesson player's reports: every heartbeat tells the site what the page sees: whether it is
// visible and focused, and whether its video plays, how far, and with which error. The video is
// the page's own (player_video.js), or plays in a frame of another origin that tells the page
// what it does (player_frame.js); a frame that fell silent shows nothing playing. Progress
// reports, sent less often with the same view, are what the site's study record counts; the
// 退出学习 button sends a last one and stops the player.
(function () {
  'use strict';
  var LOGIN_PAGE = '/permission/loginAction.do?method=init';
  var box = document.getElementById('player');
  var query = '?cat=' + box.dataset.category + '&lesson=' + box.dataset.lesson +
              '&player=' + encodeURIComponent(box.dataset.player);
  var beatUrl = '/player/heartbeat' + query;
  var scale = parseFloat(box.dataset.timeScale) || 1;
  var heartbeatMs = parseInt(box.dataset.heartbeatMs, 10);
  var refused = false; // the last report was refused for want of a session
  var frame = document.getElementById('videoFrame');
  var told = null;
  var toldAt = 0;
  if (frame) {
    window.addEventListener('message', function (event) {
      if (event.source === frame.contentWindow && event.data && event.data.playerVideo) {
        told = event.data.playerVideo;
        toldAt = Date.now();
      }
    });
  }

  function videoSeen() {
    if (!frame) { return lessonVideo.seen(); }
    if (told && Date.now() - toldAt < Math.max(2000, 3 * heartbeatMs)) { return told; }
    return { videoPlaying: false, videoEnded: false, videoTime: null, videoError: null };
  }

  function seen() {
    var shown = videoSeen();
    return {
      visibility: document.visibilityState,
      focus: document.hasFocus(),
      videoPlaying: shown.videoPlaying,
      videoEnded: shown.videoEnded,
      videoTime: shown.videoTime,
      videoError: shown.videoError,
      preroll: shown.preroll === true
    };
  }

  function stop(text) {
    clearInterval(timer);
    clearInterval(progressTimer);
    if (frame) {
      frame.contentWindow.postMessage({ playerStop: true }, '*');
    } else {
      lessonVideo.stop();
    }
    document.getElementById('state').textContent = text;
  }

  // The session has ended. Some sites send the window to the login page; others keep the
  // player on screen and only refuse its reports, which it goes on sending. The answer says
  // which this site does.
  function sessionEnded(answer) {
    if (answer.keepPage) {
      refused = true;
      document.getElementById('state').textContent = '登录已失效，学习时长未记录';
      return;
    }
    stop('登录已失效');
    window.location.href = LOGIN_PAGE;
  }

  function heartbeat() {
    fetch(beatUrl, {
      method: 'POST', credentials: 'same-origin', cache: 'no-store',
      headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(seen())
    })
      .then(function (r) {
        if (r.status === 401) {
          return r.json().catch(function () { return {}; }).then(function (j) {
            sessionEnded(j);
            return {};
          });
        }
        return r.json();
      })
      .then(function (j) {
        if (j.ended) { stop('课件已退出'); return; }
        if (j.ok) {
          if (refused) {
            refused = false;
            document.getElementById('state').textContent = '正在播放';
          }
          document.getElementById('studied').textContent = '已记录学习时长：' + j.seconds + ' 秒';
        }
      })
      .catch(function () {});
  }
  // The record's answer: code 0 counted, another code says why not ("今日学时已满").
  var recordRefused = false;
  function progress(view, exit) {
    return fetch('/player/progress' + query + (exit ? '&exit=1' : ''), {
      method: 'POST', credentials: 'same-origin', cache: 'no-store',
      headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(view)
    })
      .then(function (r) { return r.json(); })
      .then(function (j) {
        if (j.ended) {
          stop('课件已退出');
        } else if (j.code !== 0 && j.msg) {
          recordRefused = true;
          document.getElementById('state').textContent = j.msg;
        } else if (recordRefused && !exit) {
          recordRefused = false;
          document.getElementById('state').textContent = '正在播放';
        }
      })
      .catch(function () {});
  }
  document.getElementById('exitStudy').addEventListener('click', function () {
    var last = seen(); // before the video stops
    stop('已退出学习');
    progress(last, true).then(function () {
      document.getElementById('state').textContent = '已退出学习';
    });
  });

  // A page served to hang sends no report at all, and shortly after load an endless loop
  // takes its main thread for good: no script call into the page is ever answered again. A
  // video still waiting for its first frame holds back the load event, so the loop starts half
  // a second after this script at the latest.
  var timer = 0;
  var progressTimer = 0;
  if (box.dataset.hang === '1') {
    var hang = function () { for (;;) { /* never returns */ } };
    window.addEventListener('load', function () { setTimeout(hang, 100); });
    setTimeout(hang, 500);
  } else {
    timer = setInterval(heartbeat, heartbeatMs);
    var progressMs = (parseInt(box.dataset.progressSeconds, 10) || 60) * 1000 / scale;
    progressTimer = setInterval(function () { progress(seen(), false); }, progressMs);
  }

  // Some players go on to the next lesson by themselves after a while (site-clock seconds).
  var autoNext = parseInt(box.dataset.autoNext, 10) || 0;
  if (autoNext > 0 && box.dataset.next) {
    setTimeout(function () { window.location.href = box.dataset.next; }, autoNext * 1000 / scale);
  }

  window.addEventListener('pagehide', function () {
    navigator.sendBeacon('/player/close?player=' + encodeURIComponent(box.dataset.player));
  });
})();
