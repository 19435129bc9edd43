// The preview page's only script. It keeps the timer texts current, swaps in the extension's
// later answer when the page's clock reaches the instant it was given for, measures each
// presentation against the size the phone gives it, and stands in for the containing app when
// a button's deep link is followed. It asks nothing of the extension itself.
'use strict';
(() => {
  const canvas = document.querySelector('[data-now]');
  if (!canvas) return;

  // The page was written for the instant in data-now; from then on it runs on its own clock,
  // so at any moment it shows what the host would show at that instant plus the time since
  // the page loaded.
  const renderedAt = Number(canvas.dataset.now);
  const loadedAt = performance.now();
  const pageNow = () => renderedAt + (performance.now() - loadedAt) / 1000;

  // --- Overflow: what the phone would cut off ------------------------------------------------

  // How far the content of a frame reaches past each of its edges, from the boxes of everything
  // inside it (laid out whether or not it is clipped).
  function overflowOf(frame) {
    const f = frame.getBoundingClientRect();
    let top = f.top;
    let left = f.left;
    let bottom = f.bottom;
    let right = f.right;
    for (const e of frame.querySelectorAll('*')) {
      const r = e.getBoundingClientRect();
      if (r.width === 0 && r.height === 0) continue;
      top = Math.min(top, r.top);
      left = Math.min(left, r.left);
      bottom = Math.max(bottom, r.bottom);
      right = Math.max(right, r.right);
    }
    return {
      frameWidth: f.width,
      frameHeight: f.height,
      width: right - left,
      height: bottom - top,
      below: bottom - f.bottom,
      beside: right - f.right,
    };
  }

  const pt = (n) => String(Math.round(n));

  // "content 212 pt, the phone shows 160 pt", with both sides when both overflow.
  function overflowText(o) {
    const tall = o.height > o.frameHeight + 0.5;
    const wide = o.width > o.frameWidth + 0.5;
    if (tall && wide) {
      return `content ${pt(o.width)} × ${pt(o.height)} pt, the phone shows ` +
        `${pt(o.frameWidth)} × ${pt(o.frameHeight)} pt`;
    }
    if (wide) return `content ${pt(o.width)} pt wide, the phone shows ${pt(o.frameWidth)} pt`;
    if (tall) return `content ${pt(o.height)} pt, the phone shows ${pt(o.frameHeight)} pt`;
    return null;
  }

  function showCut(frame, o, shown) {
    frame.classList.toggle('reveal-cut', shown);
    // Room for the part that hangs out of the frame, so that it covers nothing.
    frame.style.marginBottom = shown ? Math.max(0, o.below) + 'px' : '';
    frame.style.marginRight = shown ? Math.max(0, o.beside) + 'px' : '';
  }

  function reportFor(figure, overflows) {
    const key = overflows.map((x) => x.frame.dataset.measure + ':' + x.text).join('|');
    let report = figure.querySelector(':scope > .overflow-report');
    if ((report ? report.dataset.key : '') === key) return;
    if (report) report.remove();
    if (overflows.length === 0) return;
    report = document.createElement('div');
    report.className = 'overflow-report';
    report.dataset.key = key;
    const named = figure.querySelectorAll('[data-measure]').length > 1;
    for (const { frame, o, text } of overflows) {
      const badge = document.createElement('span');
      badge.className = 'overflow-badge';
      badge.dataset.testid = 'overflow-badge';
      badge.dataset.frame = frame.dataset.measure;
      badge.textContent = (named ? frame.dataset.measure + ': ' : '') + text;
      const toggle = document.createElement('button');
      toggle.type = 'button';
      toggle.className = 'overflow-toggle';
      toggle.dataset.testid = 'overflow-toggle';
      const label = () => {
        const shown = frame.classList.contains('reveal-cut');
        toggle.textContent = shown ? 'Hide the cut part' : 'Show the cut part';
        toggle.setAttribute('aria-pressed', String(shown));
      };
      if (frame.classList.contains('reveal-cut')) showCut(frame, o, true);
      label();
      toggle.addEventListener('click', () => {
        showCut(frame, overflowOf(frame), !frame.classList.contains('reveal-cut'));
        label();
      });
      report.append(badge, toggle);
    }
    figure.append(report);
  }

  function measure() {
    const byFigure = new Map();
    for (const frame of canvas.querySelectorAll('[data-measure]')) {
      const figure = frame.closest('figure');
      if (!figure) continue;
      if (!byFigure.has(figure)) byFigure.set(figure, []);
      const o = overflowOf(frame);
      const text = overflowText(o);
      if (text) {
        byFigure.get(figure).push({ frame, o, text });
      } else if (frame.classList.contains('reveal-cut')) {
        showCut(frame, o, false);
      }
    }
    for (const [figure, overflows] of byFigure) reportFor(figure, overflows);
  }

  // --- Time: timers and the extension's later answers ---------------------------------------

  let timers = Array.from(canvas.querySelectorAll('.timer'));
  const laterAnswers = Array.from(canvas.querySelectorAll('template.later-answer'))
    .map((template) => ({ template, at: Number(template.dataset.at), shown: false }));

  // The answer the extension gave for the instant `at` replaces the one before it, as the
  // phone's rebuild at that instant would.
  function swapAnswers(now) {
    let swapped = false;
    for (const later of laterAnswers) {
      if (later.shown || !(now >= later.at)) continue;
      const section = later.template.parentElement;
      const current = section && section.querySelector(':scope > .presentations');
      const fresh = document.importNode(later.template.content, true).firstElementChild;
      if (!current || !fresh) continue;
      current.replaceWith(fresh);
      section.dataset.answerAt = String(later.at);
      later.shown = true;
      swapped = true;
    }
    if (swapped) timers = Array.from(canvas.querySelectorAll('.timer'));
    return swapped;
  }

  function tick() {
    const now = pageNow();
    let changed = swapAnswers(now);
    for (const timer of timers) {
      const text = timerText(timer, now);
      if (timer.textContent !== text) {
        timer.textContent = text;
        changed = true;
      }
    }
    if (changed) measure();
  }
  if (Number.isFinite(renderedAt) && (timers.length > 0 || laterAnswers.length > 0)) {
    tick();
    setInterval(tick, 200);
    // On time to the millisecond rather than the next tick.
    for (const later of laterAnswers) {
      const wait = (later.at - pageNow()) * 1000;
      if (wait > 0 && wait < 2 ** 31) setTimeout(tick, wait + 1);
    }
  }

  for (const input of document.querySelectorAll('input[name="lock-screen-width"]')) {
    input.addEventListener('change', () => {
      canvas.style.setProperty('--lock-screen-width', input.value + 'px');
      measure();
    });
  }

  measure();
  document.fonts.ready.then(() => {
    measure();
    canvas.dataset.measured = 'true';
  });

  // --- The stand-in for the containing app --------------------------------------------------

  openLinksInAppPanel(canvas);
  canvas.dataset.live = 'true';
})();
