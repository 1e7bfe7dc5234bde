#include "tools/studio/studio_page.h"

namespace tools::studio {

namespace {

// Runs after the player's page has set itself up (the script is deferred),
// and drives it through window.demoplayer.restart.
const char kScript[] = R"studio("use strict";
// The studio under the web player: what frame is on screen (with its time
// and, given a tempo, its bar and beat), the timeline chart with a playhead,
// jumps, loops, pause and steps, and the builds the server makes of every
// save. The server is asked for its status with ?after=VERSION, which waits
// for the next build.
(function() {
  var $ = function(id) { return document.getElementById(id); };
  var player = window.demoplayer;
  var SVG = 'http://www.w3.org/2000/svg';
  var info = { frames: 1, frameRate: 0, bpm: 0, loop: false };  // of the last chart
  var version = -1, dataVersion = 0;
  var paused = true;
  var shown = 1;          // the frame on screen, or the one a jump is heading for
  var loop = null;        // { first, last } while a stretch loops
  var chart = null;       // { svg, left, width, frames, head, span }
  var drag = null;        // { from, x } while the mouse is down on the chart

  var style = document.createElement('style');
  style.textContent =
    '#again, #start, #bar { display: none !important; }' +
    // Room for the chart under the picture.
    '#stage canvas:not(:fullscreen) { max-height: 60vh; }' +
    '#studio { margin: 6px 10px; }' +
    '#studio-readout { font: 15px/1.6 monospace; display: flex; gap: 18px; }' +
    '#studio-error { color: #f88; white-space: pre-wrap; font-family: monospace; }' +
    '#studio-warnings { color: #db6; white-space: pre-wrap; font-family: monospace; }' +
    '#studio-chart svg { width: 100%; height: auto; display: block; cursor: crosshair; user-select: none; }' +
    '#studio-help { color: #888; font-size: 12px; }';
  document.head.appendChild(style);
  var box = document.createElement('div');
  box.id = 'studio';
  box.innerHTML =
    '<div id="studio-readout"><span id="studio-frame"></span><span id="studio-time"></span>' +
    '<span id="studio-beat"></span><span id="studio-mode"></span></div>' +
    '<div id="studio-error"></div><div id="studio-warnings"></div>' +
    '<div id="studio-chart"></div>' +
    '<div id="studio-help">click the chart: go to that frame; drag along it: loop that stretch ' +
    '(a click ends the loop); Space: pause, resume; Left, Right: a frame (with Shift, a second); ' +
    'Home: the start</div>';
  $('panel').after(box);

  function clamp(frame) { return Math.max(1, Math.min(info.frames, frame)); }

  function readout() {
    $('studio-frame').textContent = 'frame ' + shown + ' / ' + info.frames;
    var seconds = info.frameRate > 0 ? (shown - 1) / info.frameRate : 0;
    $('studio-time').textContent = info.frameRate > 0 ? seconds.toFixed(2) + ' s' : 'no frame rate';
    if (info.bpm > 0 && info.frameRate > 0) {
      var beats = seconds * info.bpm / 60;
      $('studio-beat').textContent = 'bar ' + (Math.floor(beats / 4) + 1) + ' beat ' +
          (Math.floor(beats % 4) + 1) + ' (' + info.bpm + ' bpm)';
    } else {
      $('studio-beat').textContent = '';
    }
    $('studio-mode').textContent = (paused ? 'paused' : 'playing') +
        (loop ? ', looping ' + loop.first + '-' + loop.last : '');
    if (!chart) return;
    var x = chart.left + (shown - 0.5) / chart.frames * chart.width;
    chart.head.setAttribute('x1', x);
    chart.head.setAttribute('x2', x);
    chart.span.setAttribute('display', loop ? 'inline' : 'none');
    if (loop) {
      chart.span.setAttribute('x', chart.left + (loop.first - 1) / chart.frames * chart.width);
      chart.span.setAttribute('width', (loop.last - loop.first + 1) / chart.frames * chart.width);
    }
  }
  var pending = false;
  function later() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(function() { pending = false; readout(); });
  }

  // ---- The player

  function go(frame, bytes) {
    shown = clamp(frame);
    player.restart(shown, paused, bytes);
    later();
  }
  function pause() {
    if (paused) return;
    paused = true;
    player.restart(0, true);  // stop where it is: the picture stays
    later();
  }
  function resume() {
    if (!paused) return;
    paused = false;
    var next = shown + 1;
    if (loop && (next < loop.first || next > loop.last)) next = loop.first;
    if (next > info.frames) next = 1;  // at the end: from the start again
    go(next);
  }

  var frameSeen = player.page.frame;
  player.page.frame = function(frame, isDrawn) {
    frameSeen(frame, isDrawn);
    if (isDrawn) shown = frame;
    // The frame after the stretch is never drawn: the play ends at its last
    // (drawn, or stepped by a late page) and starts over at its first.
    if (loop && !paused && (frame >= loop.last || frame < loop.first)) go(loop.first);
    later();
  };
  // A demo that does not loop ends by itself: the last frame stays.
  setInterval(function() {
    var canvas = $('canvas');
    if (!paused && canvas && canvas.dataset.state === 'ended') {
      paused = true;
      later();
    }
  }, 100);

  // ---- Keys and mouse

  addEventListener('keydown', function(e) {
    if (e.target && /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;
    var step = e.shiftKey ? Math.max(1, info.frameRate) : 1;
    if (e.key === ' ') {
      if (paused) resume(); else pause();
    } else if (e.key === 'ArrowLeft') {
      paused = true;
      go(shown - step);
    } else if (e.key === 'ArrowRight') {
      paused = true;
      go(shown + step);
    } else if (e.key === 'Home') {
      go(1);
    } else if (e.key === 'Escape') {
      pause();
    } else {
      return;
    }
    // The player's own keys (and the page's) never see these.
    e.preventDefault();
    e.stopImmediatePropagation();
  }, true);
  addEventListener('keyup', function(e) {
    if ([' ', 'ArrowLeft', 'ArrowRight', 'Home', 'Escape'].indexOf(e.key) >= 0) e.stopImmediatePropagation();
  }, true);

  function frameAt(e) {
    var point = chart.svg.createSVGPoint();
    point.x = e.clientX;
    point.y = e.clientY;
    var x = point.matrixTransform(chart.svg.getScreenCTM().inverse()).x;
    return Math.max(1, Math.min(chart.frames, Math.floor((x - chart.left) / chart.width * chart.frames) + 1));
  }

  function showChart(text) {
    var svg = new DOMParser().parseFromString(text, 'image/svg+xml').documentElement;
    if (!svg || svg.nodeName !== 'svg') return;
    svg = document.importNode(svg, true);
    var height = svg.viewBox.baseVal.height;
    // Drawn over the chart; clicks go through them to the chart.
    function overlay(name, id, attributes) {
      var element = document.createElementNS(SVG, name);
      for (var key in attributes) element.setAttribute(key, attributes[key]);
      element.setAttribute('pointer-events', 'none');
      element.id = id;
      return svg.appendChild(element);
    }
    var span = overlay('rect', 'studio-loop', { y: 0, height: height, fill: '#3a7bd5', 'fill-opacity': '0.18' });
    var head = overlay('line', 'studio-playhead', { y1: 0, y2: height, stroke: '#d22', 'stroke-width': '1.5' });
    chart = { svg: svg, head: head, span: span, left: Number(svg.dataset.plotLeft),
              width: Number(svg.dataset.plotWidth), frames: Math.max(1, Number(svg.dataset.frames)) };
    svg.addEventListener('mousedown', function(e) {
      if (e.button !== 0) return;
      drag = { from: frameAt(e), x: e.clientX };
      e.preventDefault();
    });
    $('studio-chart').replaceChildren(svg);
    readout();
  }

  addEventListener('mousemove', function(e) {
    if (!drag || !chart || Math.abs(e.clientX - drag.x) < 4) return;
    var to = frameAt(e);
    loop = { first: Math.min(drag.from, to), last: Math.max(drag.from, to) };
    later();
  });
  addEventListener('mouseup', function(e) {
    if (!drag || !chart) return;
    var to = frameAt(e), from = drag.from, click = Math.abs(e.clientX - drag.x) < 4;
    drag = null;
    if (click) {
      loop = null;
      go(to);
      return;
    }
    loop = from === to ? null : { first: Math.min(from, to), last: Math.max(from, to) };
    paused = false;
    go(loop ? loop.first : to);
  });

  // ---- Builds

  function fetchOk(url, kind) {
    return fetch(url, { cache: 'no-store' }).then(function(response) {
      if (!response.ok) throw new Error(url + ': ' + response.status);
      return response[kind]();
    });
  }

  var chartVersion = 0;
  function take(status) {
    $('studio-error').textContent = status.error;
    $('studio-warnings').textContent = status.warnings.join('\n');
    info.bpm = status.bpm || 0;
    var chartTaken = status.chart === chartVersion ? Promise.resolve() :
      fetchOk('/chart.svg', 'text').then(function(svg) {
        chartVersion = status.chart;
        info.frames = Math.max(1, status.frames);
        info.frameRate = status.frameRate;
        info.loop = status.loop;
        if (loop) {
          loop.last = Math.min(loop.last, info.frames);
          if (loop.first > loop.last) loop = null;
        }
        showChart(svg);
      });
    // The chart of new data comes after it: the data is taken at once.
    if (!status.data || status.data === dataVersion) return chartTaken;
    return Promise.all([chartTaken, fetchOk('/data', 'arrayBuffer')]).then(function(got) {
      dataVersion = status.data;
      // Where it was: the frame on screen (paused), or the one playing.
      go(shown, new Uint8Array(got[1]));
    });
  }

  function watch() {
    fetchOk('/status' + (version >= 0 ? '?after=' + version : ''), 'json').then(function(status) {
      version = status.version;
      return take(status);
    }).then(watch, function(error) {
      $('studio-error').textContent = 'the studio does not answer (' + error.message + '); trying again';
      setTimeout(watch, 1000);
    });
  }
  readout();
  watch();
  window.studio = { go: go, pause: pause, resume: resume,
                    state: function() { return { shown: shown, paused: paused, loop: loop, version: version,
                                                 dataVersion: dataVersion, chartVersion: chartVersion }; } };
})();
)studio";

}  // namespace

std::string studioScript()
{
    return kScript;
}

}  // namespace tools::studio
