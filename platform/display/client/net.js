// Talking to korvel: input goes out as one JSON object per POST, one request
// at a time, so that korvel hears the user's actions in the order they
// happened (parallel requests may overtake each other). Pointer moves that
// wait are merged into the newest.

const waiting = [];
let sending = false;

async function pump() {
  if (sending) return;
  sending = true;
  while (waiting.length > 0) {
    const input = waiting.shift();
    try {
      await fetch('/input', {
        method: 'POST',
        headers: {'Content-Type': 'application/json'},
        body: JSON.stringify(input),
      });
    } catch (error) {
      // korvel went away; the event stream says so.
    }
  }
  sending = false;
}

export function send(input) {
  waiting.push(input);
  pump();
}

export function sendMove(input) {
  const last = waiting[waiting.length - 1];
  if (last && last.type === 'mouse' && last.action === 'move' && last.window === input.window) {
    waiting[waiting.length - 1] = input;
  } else {
    send(input);
  }
}

export function modifiers(event) {
  return {ctrl: !!event.ctrlKey, shift: !!event.shiftKey, alt: !!event.altKey};
}
