// The course page: a per-browser visit counter and the 退出课件 button.
var LOGIN_PAGE = '/permission/loginAction.do?method=init';

(function () {
  var count = parseInt(localStorage.getItem('visitCount') || '0', 10);
  if (isNaN(count)) { count = 0; }
  count += 1;
  localStorage.setItem('visitCount', String(count));
  document.getElementById('visits').textContent = '本机访问次数：' + count;
})();

function exitCourse() {
  var status = document.getElementById('exitStatus');
  fetch('/course/exit', { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .then(function (r) {
      // The session has ended: back to the login page, as the real site does.
      if (r.status === 401) { window.top.location.href = LOGIN_PAGE; return { ok: false }; }
      return r.json();
    })
    .then(function (j) { status.textContent = j.ok ? '已退出课件' : '退出失败'; })
    .catch(function () { status.textContent = '退出失败'; });
}
