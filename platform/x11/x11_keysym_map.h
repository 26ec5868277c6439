#pragma once

// Neutral modifier code (key_event.h) for an X keysym, or 0 when the keysym is not one
// of the modifier keys the neutral stream names.
int neutralModifierForKeysym(unsigned long keysym);
