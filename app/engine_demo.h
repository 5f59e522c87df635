// The engine's test scene in a window: `marrowdale --engine-demo`.
#pragma once

// Options: --data FOLDER, --fullscreen, --frames N. Answers the exit status.
int RunEngineDemo(int argc, char** argv);
