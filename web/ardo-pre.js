// Linked before the game (--pre-js): the browser's storage for the saves and settings,
// the music fetched after the start, and full screen for the page.
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
  // The music is not in the content package: the first picture need not wait for its
  // megabytes. The page fetches the tunes one at a time once the game runs (the list is
  // music/list.txt), and the one the game asks for (Module.ardoArriving) next.
  var music = { known: false, queue: [], pending: {}, busy: false };
  function fetchTunes() {
    if (music.busy || music.queue.length === 0) return;
    var name = music.queue.shift();
    music.busy = true;
    fetch('music/' + name).then(function (r) {
      if (!r.ok) throw new Error('HTTP ' + r.status);
      return r.arrayBuffer();
    }).then(function (bytes) {
      FS.writeFile('/game/music/' + name, new Uint8Array(bytes));
    }).catch(function (err) {
      console.warn('ardo: music/' + name + ' could not be fetched', err);
    }).then(function () {
      delete music.pending[name];
      music.busy = false;
      fetchTunes();
    });
  }
  Module.preRun.push(function () {
    if (typeof fetch === 'undefined' || typeof document === 'undefined') return;
    FS.mkdirTree('/game/music');
    fetch('music/list.txt').then(function (r) {
      if (!r.ok) throw new Error('HTTP ' + r.status);
      return r.text();
    }).then(function (text) {
      text.split('\n').forEach(function (name) {
        name = name.trim();
        if (name === '' || music.pending[name]) return;
        music.pending[name] = true;
        music.queue.push(name);
      });
    }).catch(function (err) {
      console.warn('ardo: the list of the music could not be fetched', err);
    }).then(function () {
      music.known = true;
      fetchTunes();
    });
  });
  // 1 while the file is still on its way (it is fetched next), 0 once it is there or when
  // it is not one the page fetches.
  Module.ardoArriving = function (path) {
    var at = path.lastIndexOf('/music/');
    if (at < 0 || typeof document === 'undefined') return 0;
    if (!music.known) return 1;
    var name = path.slice(at + 7);
    if (!music.pending[name]) return 0;
    var i = music.queue.indexOf(name);
    if (i > 0) {
      music.queue.splice(i, 1);
      music.queue.unshift(name);
    }
    return 1;
  };
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
