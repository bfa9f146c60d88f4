'use strict';
(function () {
  var run = JSON.parse(document.getElementById('run').textContent);
  // The step kinds, status texts and limits come with the data.
  var C = run.constants;
  var K = C.kinds;
  var sources = document.querySelectorAll('script.problem');
  var parsed = [];
  var current = { problem: 0, step: 0 };
  var fractions = false;

  function $(id) { return document.getElementById(id); }
  function esc(s) {
    return String(s).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
      .replace(/"/g, '&quot;');
  }
  function num(v) { return typeof v === 'string' ? Number(v) : v; }
  function count(n, one, many) { return n.toLocaleString('en') + ' ' + (n === 1 ? one : many); }
  // Doubles sent as base64 of their little-endian bytes.
  function doubles(text) {
    var bytes = atob(text);
    var view = new DataView(new ArrayBuffer(bytes.length));
    for (var i = 0; i < bytes.length; i++) view.setUint8(i, bytes.charCodeAt(i));
    var out = new Array(bytes.length / 8);
    for (var k = 0; k < out.length; k++) out[k] = view.getFloat64(8 * k, true);
    return out;
  }

  // One double of a base64 text, decoded alone: the plot needs two values
  // of every step, and decoding whole tableaux would make a large page slow
  // to open.
  function doubleAt(text, d) {
    var group = Math.floor(8 * d / 3);
    var bytes = atob(text.substr(4 * group, 4 * (Math.floor((8 * d + 7) / 3) - group + 1)));
    var view = new DataView(new ArrayBuffer(8));
    for (var i = 0; i < 8; i++) view.setUint8(i, bytes.charCodeAt(8 * d - 3 * group + i));
    return view.getFloat64(0, true);
  }
  // A step's tableau and bounds, decoded when it is first shown.
  function decoded(s) {
    if (typeof s.tableau === 'string') {
      s.tableau = doubles(s.tableau);
      s.bounds = doubles(s.bounds);
    }
    return s;
  }

  // A problem's data is parsed the first time it is shown.
  function problem(i) {
    if (!parsed[i]) {
      var p = JSON.parse(sources[i].textContent);
      p.x = p.x.map(num);
      p.left = p.total - p.steps.length;
      parsed[i] = p;
    }
    return parsed[i];
  }
  // Rows and columns of the tableau in the view a step keeps: the first
  // viewRows constraint rows, the objective and the phase-1 row; the first
  // viewColumns columns and the right-hand side.
  function rowAt(p, i) { return i <= p.viewRows ? i : i === p.M ? p.viewRows + 1 : i === p.M + 1 ? p.viewRows + 2 : 0; }
  function colAt(p, j) { return j <= p.viewColumns ? j : j === p.N ? p.viewColumns + 1 : 0; }
  function value(p, s, i, j) {
    var d = (rowAt(p, i) - 1) * (p.viewColumns + 1) + colAt(p, j) - 1;
    return typeof s.tableau === 'string' ? doubleAt(s.tableau, d) : s.tableau[d];
  }
  function inView(p, i, j) { return rowAt(p, i) > 0 && colAt(p, j) > 0; }
  // The number of a kept step among all the solver reported, from 1.
  function stepNumber(p, n) { return n < p.first ? n + 1 : n + 1 + p.left; }
  function name(p, k) {
    if (k === 0) return ['=', 'an equation, before phase 1 gives it an artificial variable'];
    return p.names[k - 1] || ['x' + k, 'x' + k];
  }
  function complemented(p, s, k) { return k <= p.NV && decoded(s).bounds[k - 1] < 0; }
  function boundText(u) { return u >= C.noBound ? '\u221e' : exactText(u); }

  // Values: rounded for reading, rounding noise (below the solver's
  // tolerance) as 0; the exact value on hover.
  function exactText(v) {
    if (Number.isNaN(v)) return 'NaN';
    if (!Number.isFinite(v)) return v > 0 ? '\u221e' : '\u2212\u221e';
    return String(v).replace('-', '\u2212');
  }
  function noise(v) { return Math.abs(v) < C.tolerance; }
  function fraction(v) {
    for (var d = 1; d <= 1000; d++) {
      var n = Math.round(v * d);
      if (n / d === v) return d === 1 ? String(n) : n + "/" + d;
    }
    return null;
  }
  function shown(v) {
    if (!Number.isFinite(v)) return exactText(v);
    if (noise(v)) return '0';
    if (fractions) {
      var f = fraction(v);
      if (f !== null) return f.replace('-', '\u2212');
    }
    var a = Math.abs(v);
    var t = a >= 1e6 || a < 1e-3 ? v.toExponential(2)
      : v.toFixed(3).replace(/\.?0+$/, '');
    if (t === '-0') t = '0';
    return t.replace('-', '\u2212');
  }

  function objective(p, s) { return -value(p, s, p.M, p.N); }
  // The sum of the infeasibilities as the phase-1 row carries it; none in
  // phase 2, unknown on entry.
  function infeasibility(p, s) {
    if (s.phase === 0) return null;
    return s.phase === 1 ? -value(p, s, p.M + 1, p.N) : 0;
  }
  function last(p) { return p.steps[p.steps.length - 1]; }

  function stepText(p, s) {
    switch (s.kind) {
      case K.entry: return 'Entry: the tableau as handed over';
      case K.start: return 'Start: phase ' + s.phase;
      case K.pivot: return name(p, s.entering)[1] + ' enters, ' + name(p, s.leaving)[1] + ' leaves';
      case K.flip:
        return name(p, s.entering)[1] + (complemented(p, s, s.entering)
          ? ' flips to its upper bound ' + boundText(-decoded(s).bounds[s.entering - 1])
          : ' flips back to 0');
      case K.recomputed: return 'Restart ' + s.restarts + ': tableau recomputed';
    }
    return '';
  }
  function iterationText(s) { return s.kind === K.pivot || s.kind === K.flip ? String(s.iteration) : ''; }
  function statusText(p) {
    if (!p.ended) return run.note || 'the run ended here';
    var t = C.statuses[String(p.status)] || 'status ' + p.status;
    if (p.status === 0 && p.steps.length) {
      var z = objective(p, last(p));
      t += ', objective ' + exactText(noise(z) ? 0 : z);
    }
    return t + ' after ' + count(p.iterations, 'iteration', 'iterations');
  }
  function leftOutText(p) { return count(p.left, 'step', 'steps') + ' left out'; }

  function showProblems() {
    var html = '';
    for (var i = 0; i < sources.length; i++) {
      html += '<button type="button" data-problem="' + i + '">Problem ' + (i + 1) + '</button>';
    }
    $('problems').innerHTML = html;
  }

  // The step list ends with the result, the tableau after the last step.
  function showStepList(p) {
    var html = '';
    var phase = -1;
    p.steps.forEach(function (s, n) {
      if (n === p.first && p.left > 0) {
        html += '<li class="gap">\u22ef ' + esc(leftOutText(p)) + ' \u22ef</li>';
      }
      if (s.phase !== phase && s.phase !== 0) {
        phase = s.phase;
        html += '<li class="phase">phase ' + phase + '</li>';
      }
      html += '<li data-step="' + n + '" data-kind="' + s.kind + '" data-ip="' + s.ip +
        '" data-jp="' + s.jp + '" data-entering="' + s.entering + '" data-leaving="' + s.leaving +
        '"><span class="n">' + iterationText(s) + '</span><span>' + esc(stepText(p, s)) +
        '</span></li>';
    });
    if (p.left > 0 && p.first >= p.steps.length) {
      html += '<li class="gap">\u22ef ' + esc(leftOutText(p)) + ' \u22ef</li>';
    }
    html += '<li data-step="' + p.steps.length + '" data-kind="-1" class="status' +
      (p.ended && p.status === 0 ? '' : ' bad') + '"><span class="n"></span><span>' +
      esc(statusText(p)) + '</span></li>';
    $('steps').innerHTML = html;
    showSummary(p);
  }

  // The problem's size, what the page left out, and the result: the
  // objective and the nonzero values, the list folded.
  function showSummary(p) {
    var text = (p.M - 1) + ' constraints, ' + (p.N - 1) + ' columns, ' + p.NV + ' variables. ' +
      count(p.total, 'step', 'steps') + (p.steps.length === 0
      ? ', none of them shown: the page\'s size left no room for them'
      : p.left > 0 ? ', of which the first ' + p.first + ' and the last ' +
        (p.steps.length - p.first) + ' are shown' : '') + '.';
    if (p.viewRows < p.M - 1 || p.viewColumns < p.N - 1) {
      text += ' Each tableau is shown in its first ' + p.viewRows + ' rows and ' + p.viewColumns +
        ' columns, with the objective and the values.';
    }
    $('problem-summary').textContent = text;
    var box = $('result');
    box.hidden = !(p.ended && p.status === 0);
    if (box.hidden) return;
    var nonzero = [];
    p.x.forEach(function (v, k) { if (!noise(v)) nonzero.push(k + 1); });
    var z = p.steps.length ? objective(p, last(p)) : null;
    box.querySelector('summary').innerHTML = 'Result' + (z === null ? '' : ': objective <b>' +
      esc(shown(z)) + '</b>') + ' \u00b7 ' + esc(count(nonzero.length, 'value', 'values')) +
      ' nonzero';
    box.querySelector('dl').innerHTML = nonzero.map(function (k) {
      return '<dt title="' + esc(name(p, k)[1]) + '">' + esc(name(p, k)[0]) + '</dt><dd title="' +
        esc(exactText(p.x[k - 1])) + '">' + esc(shown(p.x[k - 1])) + '</dd>';
    }).join('') + '<p>' + (nonzero.length < p.x.length ? 'All other variables are 0.' : '') + '</p>';
  }

  // A variable's header cell: short name (barred when complemented), the
  // long name on hover, the signed label for reference.
  function setVarHeader(th, p, s, label, cls, below) {
    var k = Math.abs(label);
    var nm = name(p, k);
    var comp = complemented(p, s, k);
    th.className = cls;
    th.dataset.label = label;
    th.title = nm[1] + (k > 0 ? ' (variable ' + k + (k > p.NV ? ', artificial' : '') +
      (comp ? ', complemented: carried as its bound minus its value' : '') + ')' : '');
    th.innerHTML = '<span class="' + (comp ? 'comp' : '') + '">' + esc(nm[0]) + '</span>' +
      (below === null ? '' : '<span class="bound">' + esc(below) + '</span>');
  }
  function bound(p, s, k) {
    if (k === 0) return '';
    return k <= p.NV ? '\u2264 ' + boundText(Math.abs(s.bounds[k - 1])) : 'artificial';
  }

  // The table of a problem is built once; each step rewrites its texts and
  // classes in place, which keeps a 49 x 60 tableau quick to step through.
  var grid = null;
  function buildTableau(p) {
    var h = ['<table><thead><tr><th class="corner">basic</th>'];
    for (var j = 1; j <= p.viewColumns; j++) h.push('<th></th>');
    h.push('<th class="rhs">value<span class="bound">&nbsp;</span></th>' +
      '<th>bound<span class="bound">&nbsp;</span></th></tr></thead><tbody>');
    var rows = [];
    for (var i = 1; i <= p.viewRows; i++) rows.push(i);
    rows.push(p.M, p.M + 1);
    rows.forEach(function (i) {
      h.push('<tr class="' + (i === p.M ? 'objective' : i === p.M + 1 ? 'phase1' : '') + '">');
      if (i < p.M) h.push('<th></th>');
      else if (i === p.M) h.push('<th title="the objective row: \u2212z = value \u2212 \u03a3 entry \u00b7 column variable">\u2212z</th>');
      else h.push('<th title="the phase-1 row: minus the sum of the infeasible rows">phase 1</th>');
      for (var jj = 0; jj <= p.viewColumns + 1; jj++) h.push('<td></td>');
      h.push('</tr>');
    });
    h.push('</tbody></table>');
    var box = $('tableau');
    box.innerHTML = h.join('');
    var body = box.querySelectorAll('tbody tr');
    grid = { p: p, rows: rows, cols: box.querySelectorAll('thead th'), cells: [] };
    for (var r = 0; r < body.length; r++) grid.cells.push(body[r].children);
  }

  // The tableau `s` with the pivot (ip, jp) marked: ip = 0 marks a column.
  function showTableau(p, s, ip, jp) {
    decoded(s);
    if (!grid || grid.p !== p) buildTableau(p);
    grid.s = s;
    for (var j = 1; j <= p.viewColumns; j++) {
      var c = s.colLabels[j - 1];
      setVarHeader(grid.cols[j], p, s, c, (c <= 0 ? 'barred' : '') + (j === jp ? ' pcol' : ''),
        bound(p, s, Math.abs(c)));
    }
    grid.rows.forEach(function (i, r) {
      var cells = grid.cells[r];
      if (i === p.M + 1) cells[0].parentNode.className = 'phase1' + (s.phase === 1 ? ' active' : '');
      var label = 0;
      if (i < p.M) {
        label = s.rowLabels[i - 1];
        setVarHeader(cells[0], p, s, label, (label < 0 ? 'infeasible' : '') + (i === ip ? ' prow' : ''), null);
      }
      for (var jj = 1; jj <= p.viewColumns + 1; jj++) {
        var col = jj > p.viewColumns ? p.N : jj;
        var v = value(p, s, i, col);
        var cls = col === p.N ? 'rhs' : '';
        if (i === ip && col === jp) cls += ' pivot';
        else if (i === ip && col < p.N) cls += ' prow';
        else if (col === jp && col < p.N) cls += ' pcol';
        if (noise(v)) cls += ' zero';
        var td = cells[jj];
        td.className = cls;
        td.dataset.row = i;
        td.dataset.col = col;
        td.textContent = shown(v);
      }
      cells[p.viewColumns + 2].textContent = i < p.M ? bound(p, s, Math.abs(label)) : '';
    });
    var marked = $('tableau').querySelector('td.pivot') || $('tableau').querySelector('thead th.pcol');
    if (marked) marked.scrollIntoView({ block: 'nearest', inline: 'nearest' });
  }

  // The exact value of a cell, looked up when the pointer reaches it.
  $('tableau').addEventListener('mouseover', function (e) {
    var td = e.target.closest('td[data-row]');
    if (!td || !grid) return;
    td.title = exactText(value(grid.p, grid.s, Number(td.dataset.row), Number(td.dataset.col)));
  });

  // Ticks at round step numbers, far enough apart to read.
  function tickStep(pixelsPerStep) {
    var d = 1;
    for (var e = 1; d * pixelsPerStep < 48; e++) d = [1, 2, 5][e % 3] * Math.pow(10, Math.floor(e / 3));
    return d;
  }

  // Objective above, sum of infeasibilities below, one point per step kept,
  // the step numbers along the foot; the dashed line marks where phase 2
  // begins, a break where steps were left out. Drawn at the plot's own
  // pixel size, so that the text is not stretched.
  function showPlot(p, n) {
    var plot = $('plot');
    var W = Math.max(plot.clientWidth, 300), H = 158, left = 64, right = 14;
    var bands = [
      { y: 18, h: 48, cls: 'obj', label: 'objective', get: objective },
      { y: 96, h: 30, cls: 'inf', label: 'infeasibility', get: infeasibility }
    ];
    var steps = p.steps;
    var count = steps.length;
    var span = W - left - right;
    function x(i) { return left + (count > 1 ? i * span / (count - 1) : span / 2); }
    var svg = [];
    var base = bands[1].y + bands[1].h + 4;
    svg.push('<line class="axis" x1="' + left + '" x2="' + (W - right) + '" y1="' + base + '" y2="' + base + '"/>');
    var every = tickStep(count > 1 ? span / (count - 1) : span);
    steps.forEach(function (s, i) {
      var k = stepNumber(p, i);
      if (k % every !== 0 && i !== 0) return;
      svg.push('<line class="tick" x1="' + x(i).toFixed(1) + '" x2="' + x(i).toFixed(1) + '" y1="' + base +
        '" y2="' + (base + 4) + '"/>');
      if (i === 0 || x(i) - x(0) > 30) {
        svg.push('<text x="' + x(i).toFixed(1) + '" y="' + (base + 15) + '" text-anchor="middle">' + k + '</text>');
      }
    });
    svg.push('<text x="' + (left - 8) + '" y="' + (base + 15) + '" text-anchor="end">step</text>');
    bands.forEach(function (b) {
      var vals = steps.map(function (s) {
        var v = b.get(p, s);
        return v === null || !Number.isFinite(v) ? null : noise(v) ? 0 : v;
      });
      var known = vals.filter(function (v) { return v !== null; });
      var lo = Math.min.apply(null, known.concat([0]));
      var hi = Math.max.apply(null, known.concat([0]));
      var top = hi, bottom = lo;
      if (hi === lo) hi = lo + 1;
      function y(v) { return b.y + b.h - (v - lo) / (hi - lo) * b.h; }
      svg.push('<line class="axis" x1="' + left + '" x2="' + (W - right) + '" y1="' + y(0) +
        '" y2="' + y(0) + '"/>');
      svg.push('<text x="' + (left - 8) + '" y="' + (b.y + 4) + '" text-anchor="end">' + esc(shown(top)) + '</text>');
      if (bottom !== top) {
        svg.push('<text x="' + (left - 8) + '" y="' + (b.y + b.h + 3) + '" text-anchor="end">' + esc(shown(bottom)) + '</text>');
      }
      var pts = [];
      vals.forEach(function (v, i) { if (v !== null) pts.push(x(i).toFixed(1) + ',' + y(v).toFixed(1)); });
      svg.push('<polyline class="' + b.cls + '" points="' + pts.join(' ') + '"/>');
      svg.push('<text class="' + b.cls + '-label" x="' + (left + 6) + '" y="' + (b.y - 4) + '">' + b.label + '</text>');
      var at = Math.min(n, count - 1);
      if (at >= 0 && vals[at] !== null) {
        svg.push('<circle class="dot-' + b.cls + '" r="4" cx="' + x(at).toFixed(1) + '" cy="' +
          y(vals[at]).toFixed(1) + '"/>');
      }
    });
    for (var i = 1; i < count; i++) {
      if (steps[i].phase === 2 && steps[i - 1].phase === 1) {
        svg.push('<line class="phase2" x1="' + x(i) + '" x2="' + x(i) + '" y1="4" y2="' + base + '"/>');
        svg.push('<text x="' + (x(i) + 4) + '" y="10">phase 2</text>');
      }
    }
    if (p.left > 0 && p.first > 0 && p.first < count) {
      var g = (x(p.first - 1) + x(p.first)) / 2;
      svg.push('<line class="gap" x1="' + g + '" x2="' + g + '" y1="4" y2="' + base + '"/>');
      svg.push('<text class="gap" x="' + (g + 4) + '" y="' + (bands[1].y - 4) + '">\u22ef ' +
        esc(leftOutText(p)) + '</text>');
    }
    if (count > 0) {
      svg.push('<line class="cursor" x1="' + x(Math.min(n, count - 1)) + '" x2="' +
        x(Math.min(n, count - 1)) + '" y1="4" y2="' + base + '"/>');
    }
    plot.setAttribute('viewBox', '0 0 ' + W + ' ' + H);
    plot.innerHTML = svg.join('');
    plot.dataset.count = count;
    plot.dataset.left = left;
    plot.dataset.span = span;
  }

  // Position n is the n-th step kept, shown in the tableau it was chosen in
  // when it is a pivot or a bound flip (its result is the next position);
  // the position after the last step is the result of the solve.
  function show(pi, n, listChanged) {
    var p = problem(pi);
    current.problem = pi;
    current.step = n;
    document.body.dataset.problem = pi;
    document.body.dataset.step = n;
    document.body.dataset.total = p.total;
    document.body.dataset.first = p.first;
    if (listChanged) {
      showStepList(p);
      document.querySelectorAll('#problems button').forEach(function (b) {
        b.classList.toggle('sel', Number(b.dataset.problem) === pi);
      });
    }
    document.querySelectorAll('#steps li.sel').forEach(function (li) { li.classList.remove('sel'); });
    var item = document.querySelector('#steps li[data-step="' + n + '"]');
    if (item) {
      item.classList.add('sel');
      item.scrollIntoView({ block: 'nearest' });
    }
    var s = p.steps[n];
    var title = 'Problem ' + (pi + 1) + ' \u00b7 ';
    var detail;
    $('tableau').hidden = p.steps.length === 0;
    $('plot').style.display = p.steps.length === 0 ? 'none' : '';
    if (!s) {
      $('step-title').textContent = title + 'result: ' + statusText(p);
      detail = p.steps.length ? 'the tableau after the last step' : 'every step was left out';
      if (p.steps.length) showTableau(p, last(p), 0, 0);
    } else {
      $('step-title').textContent = title + 'step ' + stepNumber(p, n).toLocaleString('en') + ' of ' +
        p.total.toLocaleString('en') + ' \u00b7 ' + stepText(p, s);
      var choice = s.kind === K.pivot || s.kind === K.flip;
      var before = choice && n > 0 && n !== p.first ? p.steps[n - 1] : null;
      var shownStep = before || s;
      detail = s.phase === 0 ? 'before the set-up' : 'phase ' + s.phase;
      detail += ' \u00b7 iteration ' + s.iteration;
      if (s.kind === K.pivot) {
        detail += ' \u00b7 pivot on row ' + s.ip + ', column ' + s.jp;
        if (before && inView(p, s.ip, s.jp)) detail += ', element ' + shown(value(p, before, s.ip, s.jp));
      }
      if (s.kind === K.flip) detail += ' \u00b7 column ' + s.jp;
      if (choice) {
        detail += before ? ' \u00b7 the tableau before the step (\u2192 its result)'
          : ' \u00b7 the tableau after the step (the one before it was left out)';
      }
      if (s.kind === K.pivot && !inView(p, s.ip, s.jp)) detail += ' \u00b7 the pivot is outside the view';
      // The values in the tableau shown, and where the step takes them.
      var change = function (label, get) {
        var a = get(p, shownStep), b = get(p, s);
        if (a === null) return '';
        a = exactText(noise(a) ? 0 : a);
        b = b === null ? a : exactText(noise(b) ? 0 : b);
        return ' \u00b7 ' + label + ' ' + a + (a === b ? '' : ' \u2192 ' + b);
      };
      detail += change('objective', objective) + change('infeasibility', infeasibility);
      showTableau(p, shownStep, s.kind === K.pivot ? s.ip : 0, choice ? s.jp : 0);
    }
    $('step-detail').textContent = detail;
    showPlot(p, n);
  }

  function move(dp, ds) {
    if (!sources.length) return;
    var pi = Math.min(Math.max(current.problem + dp, 0), sources.length - 1);
    if (pi !== current.problem) { show(pi, 0, true); return; }
    var end = problem(pi).steps.length;
    var n = Math.min(Math.max(current.step + ds, 0), end);
    if (n !== current.step) show(pi, n, false);
  }

  document.addEventListener('keydown', function (e) {
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    var moves = { ArrowLeft: [0, -1], ArrowRight: [0, 1], ArrowUp: [-1, 0], ArrowDown: [1, 0],
      Home: [0, -1e9], End: [0, 1e9] };
    var m = moves[e.key];
    if (!m) return;
    e.preventDefault();
    move(m[0], m[1]);
  });
  $('steps').addEventListener('click', function (e) {
    var li = e.target.closest('li[data-step]');
    if (li) show(current.problem, Number(li.dataset.step), false);
  });
  $('problems').addEventListener('click', function (e) {
    var b = e.target.closest('button[data-problem]');
    if (b) show(Number(b.dataset.problem), 0, true);
  });
  $('plot').addEventListener('click', function (e) {
    var plot = $('plot');
    var box = plot.getBoundingClientRect();
    var count = Number(plot.dataset.count);
    var fx = (e.clientX - box.left) * Number(plot.viewBox.baseVal.width) / box.width;
    var i = count > 1
      ? Math.round((fx - Number(plot.dataset.left)) / Number(plot.dataset.span) * (count - 1)) : 0;
    show(current.problem, Math.min(Math.max(i, 0), Math.max(count - 1, 0)), false);
  });
  window.addEventListener('resize', function () { showPlot(problem(current.problem), current.step); });
  $('fractions').addEventListener('change', function (e) {
    fractions = e.target.checked;
    show(current.problem, current.step, true);
  });

  $('title').textContent = run.title;
  $('tolerance').textContent = C.tolerance.toExponential().replace('-', '\u2212');
  // The legend open where it leaves the tableau room.
  $('legend').open = window.innerHeight >= 760;
  if (run.note) {
    $('note').textContent = 'The run ended early: ' + run.note;
    $('note').hidden = false;
  }
  if (!sources.length) {
    $('empty').hidden = false;
    document.querySelector('main').hidden = true;
    return;
  }
  showProblems();
  show(0, 0, true);
})();
