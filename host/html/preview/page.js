// The preview page's only script. It keeps the timer texts current, swaps in the extension's
// later answer when the page's clock reaches the instant it was given for, shows the part the
// phone cuts off on request, and stands in for the containing app when a button's deep link is
// followed. It places nothing (the host's layout did) and asks nothing of the extension itself.
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
  }

  // A timer's text is replaced in the line the layout gave it.
  function tick() {
    const now = pageNow();
    swapAnswers(now);
    for (const timer of timers) {
      const text = timerText(timer, now);
      if (timer.textContent !== text) timer.textContent = text;
    }
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

  // --- What the phone cuts off ------------------------------------------------------------

  showCutPartsOnRequest(canvas);

  // --- The stand-in for the containing app --------------------------------------------------

  openLinksInAppPanel(canvas);
  canvas.dataset.live = 'true';
})();
