'use strict';
(function () {
  // Step kinds and phases as the solver reports them.
  var ENTRY = 0, START = 1, PIVOT = 2, FLIP = 3, RECOMPUTED = 4;
  var NO_BOUND = 1e10;
  var STATUS = {
    '0': 'optimal', '1': 'unbounded', '-1': 'infeasible',
    '-2': 'phase 1 did not settle', '2': 'iteration limit reached'
  };

  var run = JSON.parse(document.getElementById('run').textContent);
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
  // Doubles sent as base64 of their little-endian bytes.
  function doubles(text) {
    var bytes = atob(text);
    var view = new DataView(new ArrayBuffer(bytes.length));
    for (var i = 0; i < bytes.length; i++) view.setUint8(i, bytes.charCodeAt(i));
    var out = new Array(bytes.length / 8);
    for (var k = 0; k < out.length; k++) out[k] = view.getFloat64(8 * k, true);
    return out;
  }

  // A problem's data is parsed the first time it is shown.
  function problem(i) {
    if (!parsed[i]) {
      var p = JSON.parse(sources[i].textContent);
      p.steps.forEach(function (s) { s.a = doubles(s.a); s.b = doubles(s.b); });
      p.x = p.x.map(num);
      parsed[i] = p;
    }
    return parsed[i];
  }
  function value(p, s, i, j) { return s.a[(i - 1) * p.n + (j - 1)]; }
  function name(p, k) {
    if (k === 0) return ['=', 'an equation, before the solver gives it an artificial variable'];
    return p.names[k - 1] || ['x' + k, 'x' + k];
  }
  function complemented(p, s, k) { return k <= p.nv && s.b[k - 1] < 0; }
  function boundText(u) { return u >= NO_BOUND ? '\u221e' : exactText(u); }

  // Values: rounded for reading; the exact value on hover.
  function exactText(v) {
    if (Number.isNaN(v)) return 'NaN';
    if (!Number.isFinite(v)) return v > 0 ? '\u221e' : '\u2212\u221e';
    return String(v).replace('-', '\u2212');
  }
  function fraction(v) {
    for (var d = 1; d <= 1000; d++) {
      var n = Math.round(v * d);
      if (n / d === v) return d === 1 ? String(n) : n + "/" + d;
    }
    return null;
  }
  function shown(v) {
    if (!Number.isFinite(v)) return exactText(v);
    if (v === 0) return '0';
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

  function objective(p, s) { return -value(p, s, p.m, p.n); }
  // The sum of the infeasibilities as the phase-1 row carries it; none in
  // phase 2, unknown on entry.
  function infeasibility(p, s) {
    if (s.p === 0) return null;
    return s.p === 1 ? -value(p, s, p.m + 1, p.n) : 0;
  }

  function stepText(p, s) {
    switch (s.k) {
      case ENTRY: return 'Entry: the tableau as handed over';
      case START: return 'Start: phase ' + s.p;
      case PIVOT: return name(p, s.e)[1] + ' enters, ' + name(p, s.l)[1] + ' leaves';
      case FLIP:
        return name(p, s.e)[1] + (complemented(p, s, s.e)
          ? ' flips to its upper bound ' + boundText(-s.b[s.e - 1])
          : ' flips back to 0');
      case RECOMPUTED: return 'Restart ' + s.r + ': tableau recomputed';
    }
    return '';
  }
  function stepNumber(s) { return s.k === PIVOT || s.k === FLIP ? String(s.it) : ''; }
  function statusText(p) {
    if (!p.ended) return run.note || 'the run ended here';
    var t = STATUS[String(p.status)] || 'status ' + p.status;
    if (p.status === 0) {
      t += ', objective ' + exactText(objective(p, p.steps[p.steps.length - 1]));
    }
    return t + ' after ' + p.iter + (p.iter === 1 ? ' iteration' : ' iterations');
  }

  function showProblems() {
    var html = '';
    for (var i = 0; i < sources.length; i++) {
      html += '<button type="button" data-problem="' + i + '">Problem ' + (i + 1) + '</button>';
    }
    $('problems').innerHTML = html;
  }

  function showStepList(p) {
    var html = '';
    var phase = -1;
    p.steps.forEach(function (s, n) {
      if (s.p !== phase && s.p !== 0) {
        phase = s.p;
        html += '<li class="phase">phase ' + phase + '</li>';
      }
      html += '<li data-step="' + n + '" data-kind="' + s.k + '" data-ip="' + s.ip +
        '" data-jp="' + s.jp + '" data-entering="' + s.e + '" data-leaving="' + s.l +
        '"><span class="n">' + stepNumber(s) + '</span><span>' + esc(stepText(p, s)) +
        '</span></li>';
    });
    html += '<li class="status' + (p.ended && p.status === 0 ? '' : ' bad') + '">' +
      esc(statusText(p)) + '</li>';
    $('steps').innerHTML = html;
    var vars = p.x.map(function (v, k) { return name(p, k + 1)[0] + ' = ' + shown(v); });
    $('problem-summary').textContent = (p.m - 1) + ' constraints, ' + (p.n - 1) +
      ' columns, ' + p.nv + ' variables' + (p.ended ? '. Result: ' + vars.join(', ') : '');
  }

  // A variable's header cell: short name (barred when complemented), the
  // long name on hover, the signed label for reference.
  function setVarHeader(th, p, s, label, cls, below) {
    var k = Math.abs(label);
    var nm = name(p, k);
    var comp = complemented(p, s, k);
    th.className = cls;
    th.dataset.label = label;
    th.title = nm[1] + (k > 0 ? ' (variable ' + k + (k > p.nv ? ', artificial' : '') +
      (comp ? ', complemented: carried as its bound minus its value' : '') + ')' : '');
    th.innerHTML = '<span class="' + (comp ? 'comp' : '') + '">' + esc(nm[0]) + '</span>' +
      (below === null ? '' : '<span class="bound">' + esc(below) + '</span>');
  }
  function bound(p, s, k) {
    if (k === 0) return '';
    return k <= p.nv ? '\u2264 ' + boundText(Math.abs(s.b[k - 1])) : 'artificial';
  }

  // The table of a problem is built once; each step rewrites its texts and
  // classes in place, which keeps a 49 x 60 tableau quick to step through.
  var grid = null;
  function buildTableau(p) {
    var h = ['<table><thead><tr><th class="corner">basic</th>'];
    for (var j = 1; j < p.n; j++) h.push('<th></th>');
    h.push('<th class="rhs">value<span class="bound">&nbsp;</span></th>' +
      '<th>bound<span class="bound">&nbsp;</span></th></tr></thead><tbody>');
    for (var i = 1; i <= p.m + 1; i++) {
      h.push('<tr class="' + (i === p.m ? 'objective' : i === p.m + 1 ? 'phase1' : '') + '">');
      if (i < p.m) h.push('<th></th>');
      else if (i === p.m) h.push('<th title="the objective row: \u2212z = value \u2212 \u03a3 entry \u00b7 column variable">\u2212z</th>');
      else h.push('<th title="the phase-1 row: minus the sum of the infeasible rows">phase 1</th>');
      for (var jj = 1; jj <= p.n + 1; jj++) h.push('<td></td>');
      h.push('</tr>');
    }
    h.push('</tbody></table>');
    var box = $('tableau');
    box.innerHTML = h.join('');
    var body = box.querySelectorAll('tbody tr');
    grid = { p: p, cols: box.querySelectorAll('thead th'), rows: [] };
    for (var r = 0; r < body.length; r++) grid.rows.push(body[r].children);
  }

  function showTableau(p, s, next) {
    if (!grid || grid.p !== p) buildTableau(p);
    var ip = s.k === PIVOT ? s.ip : 0;
    var jp = s.k === PIVOT || s.k === FLIP ? s.jp : 0;
    var nip = next && next.k === PIVOT ? next.ip : 0;
    var njp = next && next.k === PIVOT ? next.jp : 0;
    for (var j = 1; j < p.n; j++) {
      var c = s.col[j - 1];
      setVarHeader(grid.cols[j], p, s, c, (c <= 0 ? 'barred' : '') + (j === jp ? ' pcol' : ''),
        bound(p, s, Math.abs(c)));
    }
    for (var i = 1; i <= p.m + 1; i++) {
      var cells = grid.rows[i - 1];
      if (i === p.m + 1) cells[0].parentNode.className = 'phase1' + (s.p === 1 ? ' active' : '');
      var r = 0;
      if (i < p.m) {
        r = s.row[i - 1];
        setVarHeader(cells[0], p, s, r, (r < 0 ? 'infeasible' : '') + (i === ip ? ' prow' : ''), null);
      }
      for (var jj = 1; jj <= p.n; jj++) {
        var v = value(p, s, i, jj);
        var cls = jj === p.n ? 'rhs' : '';
        if (i === ip && jj === jp) cls += ' pivot';
        else if (i === ip && jj < p.n) cls += ' prow';
        else if (jj === jp && jj < p.n) cls += ' pcol';
        if (i === nip && jj === njp) cls += ' next';
        if (v === 0) cls += ' zero';
        var td = cells[jj];
        td.className = cls;
        td.textContent = shown(v);
      }
      cells[p.n + 1].textContent = i < p.m ? bound(p, s, Math.abs(r)) : '';
    }
    var marked = $('tableau').querySelector('td.pivot') || $('tableau').querySelector('thead th.pcol');
    if (marked) marked.scrollIntoView({ block: 'nearest', inline: 'nearest' });
  }

  // The exact value of a cell, looked up when the pointer reaches it.
  $('tableau').addEventListener('mouseover', function (e) {
    var td = e.target.closest('td');
    if (!td || !grid) return;
    var i = td.parentNode.rowIndex, j = td.cellIndex;
    if (j > grid.p.n) return;
    td.title = exactText(value(grid.p, grid.p.steps[current.step], i, j));
  });

  // Objective above, sum of infeasibilities below, one point per step; the
  // dashed line marks where phase 2 begins. Drawn at the plot's own pixel
  // size, so that the text is not stretched.
  function showPlot(p, n) {
    var plot = $('plot');
    var W = Math.max(plot.clientWidth, 300), H = 130, left = 110, right = 12;
    var bands = [
      { y: 10, h: 54, cls: 'obj', label: 'objective', get: objective },
      { y: 84, h: 34, cls: 'inf', label: 'infeasibility', get: infeasibility }
    ];
    var steps = p.steps;
    var count = steps.length;
    var span = W - left - right;
    function x(i) { return left + (count > 1 ? i * span / (count - 1) : span / 2); }
    var svg = [];
    bands.forEach(function (b) {
      var vals = steps.map(function (s) {
        var v = b.get(p, s);
        return v === null || !Number.isFinite(v) ? null : v;
      });
      var known = vals.filter(function (v) { return v !== null; });
      var lo = Math.min.apply(null, known.concat([0]));
      var hi = Math.max.apply(null, known.concat([0]));
      var top = hi, bottom = lo;
      if (hi === lo) hi = lo + 1;
      function y(v) { return b.y + b.h - (v - lo) / (hi - lo) * b.h; }
      svg.push('<line class="axis" x1="' + left + '" x2="' + (W - right) + '" y1="' + y(0) +
        '" y2="' + y(0) + '"/>');
      svg.push('<text class="' + b.cls + '-label" x="6" y="' + (b.y + b.h / 2 + 4) + '">' + b.label + '</text>');
      svg.push('<text x="' + (left - 6) + '" y="' + (b.y + 8) + '" text-anchor="end">' + esc(shown(top)) + '</text>');
      if (bottom !== top) {
        svg.push('<text x="' + (left - 6) + '" y="' + (b.y + b.h) + '" text-anchor="end">' + esc(shown(bottom)) + '</text>');
      }
      var pts = [];
      vals.forEach(function (v, i) { if (v !== null) pts.push(x(i).toFixed(1) + ',' + y(v).toFixed(1)); });
      svg.push('<polyline class="' + b.cls + '" points="' + pts.join(' ') + '"/>');
      if (vals[n] !== null) {
        svg.push('<circle class="dot-' + b.cls + '" r="4" cx="' + x(n).toFixed(1) + '" cy="' +
          y(vals[n]).toFixed(1) + '"/>');
      }
    });
    for (var i = 1; i < count; i++) {
      if (steps[i].p === 2 && steps[i - 1].p !== 2) {
        svg.push('<line class="phase2" x1="' + x(i) + '" x2="' + x(i) + '" y1="2" y2="' + H + '"/>');
        svg.push('<text x="' + (x(i) + 4) + '" y="' + (H - 3) + '">phase 2 →</text>');
      }
    }
    svg.push('<line class="cursor" x1="' + x(n) + '" x2="' + x(n) + '" y1="2" y2="' + H + '"/>');
    plot.setAttribute('viewBox', '0 0 ' + W + ' ' + H);
    plot.innerHTML = svg.join('');
    plot.dataset.count = count;
    plot.dataset.left = left;
    plot.dataset.span = span;
  }

  function show(pi, n, listChanged) {
    var p = problem(pi);
    current.problem = pi;
    current.step = n;
    document.body.dataset.problem = pi;
    document.body.dataset.step = n;
    if (listChanged) {
      showStepList(p);
      document.querySelectorAll('#problems button').forEach(function (b) {
        b.classList.toggle('sel', Number(b.dataset.problem) === pi);
      });
    }
    var s = p.steps[n];
    document.querySelectorAll('#steps li.sel').forEach(function (li) { li.classList.remove('sel'); });
    var item = document.querySelector('#steps li[data-step="' + n + '"]');
    if (item) {
      item.classList.add('sel');
      item.scrollIntoView({ block: 'nearest' });
    }
    $('step-title').textContent = 'Problem ' + (pi + 1) + ' \u00b7 step ' + (n + 1) + ' of ' +
      p.steps.length + ' \u00b7 ' + stepText(p, s);
    var detail = s.p === 0 ? 'before the set-up' : 'phase ' + s.p;
    detail += ' \u00b7 iteration ' + s.it;
    if (s.k === PIVOT) detail += ' \u00b7 pivot on row ' + s.ip + ', column ' + s.jp;
    if (s.k === FLIP) detail += ' \u00b7 column ' + s.jp;
    detail += ' \u00b7 objective ' + exactText(objective(p, s));
    var inf = infeasibility(p, s);
    if (inf !== null) detail += ' \u00b7 infeasibility ' + exactText(inf);
    if (n === p.steps.length - 1) detail += ' \u00b7 ' + statusText(p);
    $('step-detail').textContent = detail;
    showTableau(p, s, p.steps[n + 1]);
    showPlot(p, n);
  }

  function move(dp, ds) {
    if (!sources.length) return;
    var pi = Math.min(Math.max(current.problem + dp, 0), sources.length - 1);
    if (pi !== current.problem) { show(pi, 0, true); return; }
    var last = problem(pi).steps.length - 1;
    var n = Math.min(Math.max(current.step + ds, 0), last);
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
    var fx = e.clientX - box.left;
    var i = count > 1
      ? Math.round((fx - Number(plot.dataset.left)) / Number(plot.dataset.span) * (count - 1)) : 0;
    show(current.problem, Math.min(Math.max(i, 0), count - 1), false);
  });
  window.addEventListener('resize', function () { showPlot(problem(current.problem), current.step); });
  $('fractions').addEventListener('change', function (e) {
    fractions = e.target.checked;
    show(current.problem, current.step, true);
  });

  $('title').textContent = run.title;
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
