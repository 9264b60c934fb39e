// Linked before the game and its tests under node (--pre-js): emscripten 3.1.6 hands a
// file's new times to node in milliseconds where node takes seconds, so a time set from
// the program lands centuries ahead. Set in seconds.
var Module = typeof Module !== 'undefined' ? Module : {};
Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  var utime = FS.utime;
  FS.utime = function (path, atime, mtime) { utime(path, atime / 1000, mtime / 1000); };
});
