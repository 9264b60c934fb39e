// Linked before the game (--pre-js): the browser's storage for the saves and settings,
// and full screen for the page.
var Module = typeof Module !== 'undefined' ? Module : {};
(function () {
  // The save folder and the settings folder live in IndexedDB: read back before the game
  // starts, copied out after every write (platform::PersistWrites waits for the copy).
  var folders = ['/game/save', '/home/web_user/.config/ardo'];
  var store = { state: 0, broken: /[?&]store=broken\b/.test(typeof location !== 'undefined' ? location.search : '') };
  Module.preRun = Module.preRun || [];
  Module.preRun.push(function () {
    folders.forEach(function (f) {
      FS.mkdirTree(f);
      FS.mount(IDBFS, {}, f);
    });
    addRunDependency('ardo-store');
    FS.syncfs(true, function (err) {
      if (err) console.warn('ardo: the saves could not be read from the browser\'s storage', err);
      removeRunDependency('ardo-store');
    });
  });
  Module.ardoPersistStart = function () {
    store.state = 1;
    if (store.broken) {  // the page's own test of a storage that refuses
      setTimeout(function () { store.state = 3; }, 0);
      return 1;
    }
    FS.syncfs(false, function (err) {
      if (err) console.warn('ardo: the browser\'s storage refused the saves', err);
      store.state = err ? 3 : 2;
    });
    return 1;
  };
  Module.ardoPersistState = function () { return store.state; };
  Module.ardoFullScreen = function (on) {
    if (typeof document === 'undefined') return;
    var box = document.getElementById('screen');
    if (on && !document.fullscreenElement && box && box.requestFullscreen) {
      box.requestFullscreen().catch(function () {});
    } else if (!on && document.fullscreenElement) {
      document.exitFullscreen().catch(function () {});
    }
  };
})();
