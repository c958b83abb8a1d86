// Where the scripted runs see a world point on the game's screen, from the game camera's frame and view window,
// and what the screen shows there.
#pragma once

struct GxV3d;

// The point as fractions of the view across and down (0.5 its middle); false behind the camera.
bool ViewFraction(const GxV3d& point, bool mirror, float* u, float* v);
// The point in screen pixels (y down); `mirror` flips the camera's right vector, as the pick may take it. False
// behind the camera or outside the middle of the view, where the panels and the scrolling edges are.
bool ViewPoint(const GxV3d& point, bool mirror, float* x, float* y);
// A point of the 800 x 600 screen on the screen the game runs on.
float ScreenX(float x);
float ScreenY(float y);
// The colour (0xRRGGBB) of the game camera's frame at pixel (x, y); -1 without a frame or outside it.
long FramePixel(int x, int y);
