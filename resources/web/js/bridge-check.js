// Drives the bridge commands for stored values, device information, files and audio, and
// checks every answer in the page (the dialogs, toasts, shares and previews wait for a person
// and are checked from the native side).
//   bridgeCheck.run()        runs the checks once; #check-result shows "running", then
//                            "passed" or "failed: <names>"; each check is a row of #checks.
//   bridgeCheck.measure(n)   n round trips, one after the other: post a getter, wait for the
//                            native side's callback, post the next. #measure-result shows
//                            "running", then the mean time of a round trip.
(function () {
  'use strict';

  var counter = 0;

  function post(message) {
    window.webkit.messageHandlers.callbackHandler.postMessage(message);
  }

  // Posts `command` with a callback of its own; resolves with the answer (undefined when the
  // callback is called without argument), rejects when none comes within `ms` (20 s unless given:
  // starting a sound prerolls it on the native side first, which takes seconds on a busy machine).
  function ask(command, ms) {
    return new Promise(function (resolve, reject) {
      var name = '__bridgeAnswer' + (++counter);
      var timer = setTimeout(function () {
        delete window[name];
        reject(new Error('no answer to ' + command));
      }, ms || 20000);
      window[name] = function (text) {
        clearTimeout(timer);
        delete window[name];
        resolve(text);
      };
      post(command + (command.indexOf('?') < 0 ? '?' : '&') + 'callback=' + name);
    });
  }

  function member(answer, name) {
    return JSON.parse(answer)[name];
  }

  var storedValue = 'He said "hi"\\\nsecond line / ü & +1';
  var snippet = '<p class="greeting">Hello "bridge"</p>\n<p>second line</p>';

  // Each check resolves with [passed, what to show].
  var checks = [
    ['setValue, getValue', function () {
      post('setValue?lang=check&value=' + encodeURIComponent(storedValue));
      return ask('getValue?key=check').then(function (a) { return [member(a, 'value') === storedValue, a]; });
    }],
    ['getValue of a removed value', function () {
      post('setValue?lang=check&value=');
      return ask('getValue?key=check').then(function (a) { return [member(a, 'value') === null, a]; });
    }],
    ['getUuid', function () {
      return ask('getUuid').then(function (a) {
        var uuid = member(a, 'uuid');
        return [typeof uuid === 'string' && uuid.length > 0, a];
      });
    }],
    ['getAppState', function () {
      return ask('getAppState').then(function (a) {
        return [['fresh', 'full', 'offline'].indexOf(member(a, 'appState')) >= 0, a];
      });
    }],
    ['getFilesList', function () {
      return ask('getFilesList').then(function (a) {
        var list = member(a, 'filesList');
        return [list.indexOf('file_readme.txt') >= 0 &&
                list.every(function (f) { return f.indexOf('file_') === 0; }), a];
      });
    }],
    ['getHTML', function () {
      return ask('getHTML?page=snippets/greeting.html').then(function (a) {
        return [member(a, 'value') === snippet, a];
      });
    }],
    ['moveFile there and back', function () {
      var there = 'moveFile?fromPath=snippets&fromFileName=greeting.html&toPath=moved&toFileName=greeting.html';
      var back = 'moveFile?fromPath=moved&fromFileName=greeting.html&toPath=snippets&toFileName=greeting.html';
      var answers = [];
      return ask(there).then(function (a) {
        answers.push(a);
        return ask('getHTML?page=moved/greeting.html');
      }).then(function (a) {
        answers.push(a);
        return ask(back);
      }).then(function (a) {
        answers.push(a);
        var ok = member(answers[0], 'status') === 'Y' && member(answers[1], 'value') === snippet &&
                 member(answers[2], 'status') === 'Y';
        return [ok, answers.join(' ')];
      });
    }],
    ['controlAudio start, pause, forward past the end', function () {
      var ended = new Promise(function (resolve) {
        var previous = window.controlAudioCallback;
        window.controlAudioCallback = function (what) {
          window.controlAudioCallback = previous;
          resolve(what);
        };
      });
      post('controlAudio?callback=undefined&file=media/tone.wav&command=start');
      return ask('controlAudio?file=&command=pause').then(function (a) {
        // The 3-second tone has no 15 s ahead: the player stops and says "end".
        post('controlAudio?callback=undefined&file=&command=forward');
        return ended.then(function (what) { return [a === undefined && what === 'end', 'pause: ' + a + ', ' + what]; });
      });
    }],
    ['vibrate and openVideoMeeting answer nothing', function () {
      post('vibrate?callback=never');
      return ask('openVideoMeeting', 300).then(function (a) { return [false, 'answered ' + a]; },
        function () { return ask('getUuid').then(function (a) { return [!!member(a, 'uuid'), 'silent']; }); });
    }],
    ['moveFile from a missing source', function () {
      return ask('moveFile?fromPath=snippets&fromFileName=missing.html&toPath=snippets&toFileName=greeting.html')
        .then(function (a) {
          return [member(a, 'status').indexOf('Error moving Image file: ') === 0, a];
        });
    }]
  ];

  function showRow(name, passed, text) {
    var row = document.createElement('tr');
    row.className = passed ? 'pass' : 'fail';
    [name, passed ? 'passed' : 'FAILED', text].forEach(function (cell) {
      var td = document.createElement('td');
      td.textContent = cell;
      row.appendChild(td);
    });
    document.getElementById('checks').appendChild(row);
  }

  function run() {
    var result = document.getElementById('check-result');
    var failed = [];
    document.getElementById('checks').textContent = '';
    result.textContent = 'running';
    return checks.reduce(function (previous, check) {
      return previous.then(function () {
        return check[1]().catch(function (error) { return [false, String(error)]; }).then(function (outcome) {
          var passed = outcome[0];
          if (!passed) failed.push(check[0]);
          showRow(check[0], passed, outcome[1]);
        });
      });
    }, Promise.resolve()).then(function () {
      result.textContent = failed.length ? 'failed: ' + failed.join(', ') : 'passed';
    });
  }

  // The page's clock is coarse (about a millisecond), so only the mean is shown.
  function measure(n) {
    var result = document.getElementById('measure-result');
    var start = performance.now();
    result.textContent = 'running';
    function next(i) {
      if (i >= n) return Promise.resolve();
      return ask('getUuid').then(function () { return next(i + 1); });
    }
    return next(0).then(function () {
      result.textContent = n + ' round trips, mean ' + ((performance.now() - start) / n).toFixed(3) + ' ms';
    }, function (error) {
      result.textContent = 'failed: ' + error;
    });
  }

  var api = { run: run, ask: ask, measure: measure };

  window.bridgeCheck = api;

  document.addEventListener('DOMContentLoaded', function () {
    var checkButton = document.getElementById('run-checks');
    if (checkButton) checkButton.addEventListener('click', run);
    var measureButton = document.getElementById('measure');
    if (measureButton) measureButton.addEventListener('click', function () { measure(1000); });
  });
})();
