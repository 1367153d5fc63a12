// Opens a lesson's player in a window as large as the screen, named so that a second
// lesson reuses it.
function openMax(url) {
  var features = 'left=0,top=0,width=' + screen.availWidth + ',height=' + screen.availHeight +
                 ',resizable=yes,scrollbars=no,status=no';
  var w = window.open(url, 'coursePlayer', features);
  if (w) { w.focus(); }
}
