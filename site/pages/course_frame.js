// The course frame: a category link posts the selection; the 课程学习 menu item waits for
// it, then lists that category's lessons in the lesson frame.
var LOGIN_PAGE = '/permission/loginAction.do?method=init';
var pendingSelection = Promise.resolve();

function selectCategory(k) {
  var cells = document.querySelectorAll('td.cat');
  for (var i = 0; i < cells.length; i++) {
    cells[i].className = i === k ? 'cat selected' : 'cat';
  }
  pendingSelection = fetch('/course/select?cat=' + k,
                           { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .then(function (r) {
      // The session has ended: the whole window goes back to the login page.
      if (r.status === 401) { window.top.location.href = LOGIN_PAGE; }
    })
    .catch(function () {});
  return false;
}

function showLessons() {
  pendingSelection.then(function () {
    document.getElementById('lessonFrame').src = '/course/lessons?t=' + Date.now();
  });
}

function showInfo(page) {
  document.getElementById('lessonFrame').src = '/course/info?page=' + encodeURIComponent(page);
}
