// The demo page's side of the bridge: it posts messages to the native side and shows, in the
// log on the page, what it sent and every answer the native side gives by calling back.
(function () {
  'use strict';

  function logLine(kind, text) {
    var log = document.getElementById('log');
    var line = document.createElement('div');
    line.className = kind;
    line.textContent = text;
    log.appendChild(line);
    log.scrollTop = log.scrollHeight;
  }

  function hasBridge() {
    return !!(window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.callbackHandler);
  }

  // Posts `message` to the native side ("word" or "command?name=value&callback=fn").
  function send(message) {
    if (!hasBridge()) {
      logLine('note', 'no native bridge: ' + message);
      return false;
    }
    window.webkit.messageHandlers.callbackHandler.postMessage(message);
    logLine('sent', '→ ' + message);
    return true;
  }

  // Answers of the native side: a callback named in a command, and the page functions the
  // native side calls by name.
  window.showAnswer = function (text) { logLine('answer', '← ' + (text === undefined ? '(no value)' : text)); };
  window.togglePushNotification = function (active) { logLine('answer', '← togglePushNotification(' + active + ')'); };
  window.hideAllLoading = function () { logLine('answer', '← hideAllLoading()'); };
  window.showWakeUpNotification = function () { logLine('answer', '← showWakeUpNotification()'); };
  window.refreshCurrentPage = function () { window.location.reload(); };
  // Progress of fetching the files an update left out, and its end.
  window.showLazyLoadNotification = function (done, total) {
    logLine('answer', '← showLazyLoadNotification(' + done + ', ' + total + ')');
  };
  window.hideLazyLoadNotification = function () { logLine('answer', '← hideLazyLoadNotification()'); };
  window.postReset = function () { logLine('answer', '← postReset()'); };
  window.controlAudioCallback = function (what) { logLine('answer', '← controlAudioCallback(' + what + ')'); };
  // A "message" event of the real-time channel, as JSON text.
  window.webSocketEvent = function (json) { logLine('answer', '← webSocketEvent(' + json + ')'); };
  // A downward swipe asks the page for a background update.
  window.update = function (event, mode) { logLine('answer', '← update(' + mode + ')'); };

  window.demo = { send: send, log: logLine };

  document.addEventListener('DOMContentLoaded', function () {
    document.querySelectorAll('[data-message]').forEach(function (button) {
      button.addEventListener('click', function () { send(button.getAttribute('data-message')); });
    });
    // Each page of the demo holds some of these controls.
    function onClick(id, handler) {
      var element = document.getElementById(id);
      if (element) element.addEventListener('click', handler);
    }
    onClick('send-custom', function () {
      var custom = document.getElementById('custom');
      if (custom.value) send(custom.value);
    });
    onClick('page-alert', function () {
      alert(document.getElementById('page-alert').getAttribute('data-text'));
      logLine('answer', '← alert() closed');
    });
    onClick('page-confirm', function () {
      var answer = confirm(document.getElementById('page-confirm').getAttribute('data-text'));
      logLine('answer', '← confirm() = ' + answer);
    });
    document.getElementById('bridge-state').textContent = hasBridge() ? 'ready' : 'not available';
  });
})();
