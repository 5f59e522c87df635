// The interface's demonstration dialog in a window: `marrowdale --ui-demo`.
#pragma once

// Options: --data FOLDER, --fullscreen, --frames N. Answers the exit status.
int RunUiDemo(int argc, char** argv);
