#pragma once

// The line-grid interlude's state: the lattice offset (1..40) and the number it shows.
struct InterludeState {
  int offset = 40;
  int number = 10000;
};
extern InterludeState interlude;
