// The world in a window: `marrowdale --view` loads or generates a game and
// runs it while the map view shows it, scrolled with the arrow keys, the
// screen border or by dragging with the right button, zoomed with the
// wheel or + and -, the minimap in the top right corner.
#pragma once

// Options: --load FILE | --generate SIZE [--seed S]; --frames N (stop after
// N frames); --data FOLDER; --input FILE (a test's scripted input: lines
// "FRAME key left|right|up|down", "FRAME mouse X Y", "FRAME wheel N",
// "FRAME quit"). Answers the exit status.
int RunWorldView(int argc, char** argv);
