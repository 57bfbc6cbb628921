// The frame loop: start-up, the view of the window, pacing, which painter
// draws, stepping or replacing the field after a frame, and moving on to the
// next lifeface. It sits above the painters, which only paint and report.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "platform/platform.h"
#include "render/render.h"

// ---- Pacing --------------------------------------------------------------------

enum : uint32_t { SuspendTick = 1u };

// When frames are due. ResetSchedule is its one reset (with the overlay's
// frame-rate measure).
struct FrameSchedule {
  uint32_t NextFrameTime;  // tick count the next frame is due at
  uint32_t SuspendFlags;   // SuspendTick: paints present but compute nothing
  uint32_t LastRepairTime;  // the last time all of the surface went to the window
};
extern FrameSchedule Schedule;
void ResetSchedule();

// ---- Layout --------------------------------------------------------------------

inline int32_t Align256(int32_t x) { return static_cast<int32_t>((static_cast<uint32_t>(x) + 255u) & ~255u); }
// Cells of size q across x pixels: alignup(x, q) / q.
int32_t CellCount(int32_t pixels, int32_t cellSize);
// The largest scale exponents the frames take: a classic cell is never larger
// than the surface's 256-pixel alignment, a tile is drawn at most 8 times.
const int32_t MaxClassicScale = 8;
const int32_t MaxAnimatedScale = 3;
// The classic cell size, 1 << cscale with cscale kept to 0..MaxClassicScale.
int32_t ClassicCellSize();
// The tile scale of Animated Mode, 1 << ascale with ascale kept to 0..MaxAnimatedScale.
int32_t AnimatedScale();
// How the next frame will lay out the cells: Animated Mode when a lifeface
// can be shown, classic otherwise.
FrameLayout CurrentLayout();

// ---- Fields and lifefaces ----------------------------------------------------------

// The lifeface Settings.face names (0 when it is out of range) becomes the
// one shown: its picture is loaded and its transition prepared. An unusable
// tile size leaves face 0 and no picture: the frames turn classic.
void UseLifeface();
// The rule the settings give every field: `rule` where it holds one the
// engine runs, else `birth` and `survive` (Conway's for masks that cannot
// run: B0, counts above 8, a hand-edited key).
CellRule StoredRule(const SaverSettings& settings);
// The rule a new field runs under: with `rules` RulesDrawn a lively named
// rule of any family drawn for it, else the stored one.
CellRule RuleOfNewField();
// The longest a pattern field is shown, in milliseconds.
uint32_t LongestShow();
// Whether the next new field starts from a pattern (by `start`).
bool NewFieldIsPattern();
// A new field: a pattern of the collection when `start` asks for one and one
// fits, else a random field under the rule of a new field. Generation 1,
// population 0, transition restarted.
void ResetField(int32_t columns, int32_t rows);
// After a classic frame of the given population: steps the field, or
// replaces a stagnant one.
void AdvanceOrReset(int32_t columns, int32_t rows, int32_t population);
// At the end of a transition, with the population the coming step will
// leave. A reset may move on to the next lifeface. (The window names the
// variant; a lifeface picture is made without one.)
void AdvanceOrReset(WindowHandle window, int32_t columns, int32_t rows, int32_t nextPopulation);
// One classic frame and the generation boundary after it. One-pixel cells
// are painted in the pass that makes the next generation.
void ClassicTick(int32_t columns, int32_t rows, int32_t cellSize);

// ---- Fields on the plane -------------------------------------------------------------
// A pattern field whose rule the plane runs (and `plane` asks for it) runs
// on the unbounded plane, 2^N generations a frame; a camera fits the view
// to it and follows it.

// How the view looks at the plane.
struct PlaneCamera {
  bool allowed;            // new pattern fields may go to the plane (the About box has none)
  int32_t zoom;            // a pixel shows 2^zoom x 2^zoom cells; below 0, a cell is 2^-zoom pixels
  double centreX;          // the cell in the middle of the view
  double centreY;
  double velocityX;        // how the followed pattern moves, cells a frame, smoothed
  double velocityY;
  double targetX;          // where the pattern's middle was last frame
  double targetY;
  bool placed;             // the camera has looked at this field
  int32_t closerFrames;    // frames in a row the pattern has been small enough to zoom in
  int32_t stepLog;         // the step taken, 2^stepLog generations, at most the one asked for
  int32_t calmFrames;      // frames in a row the step kept within its time
  bool overran;            // a step of this field overran: larger ones come back slowly
};
extern PlaneCamera Camera;
// The camera as at start: allowed, and looking afresh at the next field.
void ResetCamera();

// The zoom that stops at the classic cell size: cells are never drawn larger.
int32_t ClosestZoom();
// The step a frame asks for: `step`, or with `hyper` the one that moves a
// ship about a pixel a frame at the camera's zoom.
int32_t WantedStepLog();
// A new field on the plane, the pattern already there (see
// DrawPatternOnPlane): its rule, counters and camera.
void StartPlaneField(const CellRule& rule);
// One frame of a field on the plane: painted as it is, then stepped, the
// camera moved on, and replaced when it has settled, died or shown long
// enough. The columns and rows are those of the grid a new field would get.
void PlaneTick(int32_t columns, int32_t rows);
// Fits the camera to the pattern now (a new field, or a test).
void FitCamera();
// Moves the camera one frame on toward the pattern: it follows it, zooms out
// as soon as it outgrows the view and in only after it has long been small.
void FollowPattern();

// ---- Start-up and frames -------------------------------------------------------------

// Start-up from the saver's own sources: the catalogue "tumbra.ini" found the
// system's way and the settings store; then StartEngine.
void InitEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight);
// Start-up from whatever catalogue and settings are loaded: a front end loads
// them from its own places (LoadCatalogue with a path, LoadSettings or its
// own values) and calls this. Seeds the generator; the first call also draws
// a random lifeface, makes the surface of the given size, loads the lifeface,
// the grid and the font. Every call resolves the palette, clears the surface
// and makes the next frame due at once.
void StartEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight);
// A window of a new client size: a new surface and grid and a fresh field.
void ResizeView(WindowHandle window, int32_t clientWidth, int32_t clientHeight);

// Milliseconds until the next frame is due; 0 when it is due or late.
uint32_t FrameDueIn(uint32_t now);
// Computes the frame due at `now` and schedules the next one: half of any
// lateness comes off the next period.
void DrawDueFrame(WindowHandle window, uint32_t now);
// One paint message's share of the loop: early, it waits until the frame is
// due (at most 50 ms, and input ends the wait); then, if the frame is due, it
// draws it. True when it drew a frame.
bool FrameTick(WindowHandle window);
// Copies to the window what the frames changed since the last copy, and
// once a second all of the surface; nothing when nothing changed.
void PresentFrame(WindowHandle window);
// A paint message: a frame tick unless the About box has suspended the
// ticks (it draws its own generations), then the copy to the window. True
// when a frame was drawn.
bool AnswerPaint(WindowHandle window);
