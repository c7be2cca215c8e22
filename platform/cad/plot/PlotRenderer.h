#pragma once
// What the plot's drawing of entities shares: the drawing state and the drawing of each family.
#include "cad/plot/PlotEngine.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"

#include <cairo.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace plot::drawing {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

struct LayerInfo {
    bool plotted = true;
    AcCmEntityColor color;
    AcDbObjectId linetype;
};

// A linetype as an entity uses it: the record and the entity's own scale.
struct LinetypeUse {
    AcDbObjectId id;
    double scale = 1;
};

// How a plot sets its runs of text: the shaping context, and what it measured (PlotRenderText.cpp).
struct TextSetter;

struct Ctx {
    cairo_t* cr = nullptr;
    AcDbDatabase* db = nullptr;
    double pxPerUnit = 1; // device units per drawing unit
    double thinLine = 1;  // device units
    std::map<AcDbObjectId, LayerInfo> layers;
    std::vector<AcDbObjectId> frozenHere; // layers frozen in the viewport being drawn
    int drawn = 0;
    bool stopped = false; // past the work budget: the plot is refused
    // The dashes the entity being drawn strokes with (device units, on and off in turn); none: continuous.
    std::vector<double> dashes;
    LinetypeUse blockLinetype; // what an entity's "ByBlock" linetype is inside the insert being drawn
    std::map<AcDbObjectId, std::vector<double>> linetypes;
    double ltscale = 0;    // the drawing's, once read
    double viewDashes = 1; // of dashes in the viewport being drawn: its scale undone where they keep paper size
    std::set<std::wstring> leftOut;   // the kinds of entity the plot has no drawing for, named once each
    std::shared_ptr<TextSetter> text; // made at the plot's first text
};

// Counts work a renderer is about to do (entities drawn through inserts and cells of grids, points of curves,
// pattern lines, dashes, characters), each kind in its own measure, against the budget of the plot's drawing
// (AcDbExpansionBudget): false, and the plot stopped, once it is spent.
bool charge(Ctx& c, double amount = 1, AcDbExpansionBudget::Work kind = AcDbExpansionBudget::Work::kPlaced);
// Whether the plot's drawing ran past the budget.
bool workStopped(const Ctx& c);

void setColour(Ctx& c, const Rgb& rgb);
// A layer's linetype record.
AcDbObjectId layerLinetype(Ctx& c, AcDbObjectId layer);
// The linetype an entity on the layer plots with, and its dashes set for the strokes that follow.
LinetypeUse linetypeOf(Ctx& c, const AcDbEntity* e, AcDbObjectId layer);
void applyLinetype(Ctx& c, const AcDbEntity* e, AcDbObjectId layer, const AcGeMatrix3d& m);
// Whether the dashes of what a viewport shows keep their size on paper ($PSLTSCALE, 1 unless the drawing says 0).
bool paperSizedDashes(const AcDbDatabase* db);
// A pattern's dashes (positive), gaps (negative) and dots (zero) as cairo's alternating runs, drawn first, each
// length times unit; none when it has no gap or is too short to show one.
std::vector<double> onOff(const std::vector<double>& dashes, double unit);
// Strokes the current path at least as wide as the thinnest line (width in device units).
void strokeDevice(Ctx& c, double width);
// Adds a bulged path (plane coordinates mapped by m) to the current cairo path.
void addPath(Ctx& c, const cadgeom::BulgePath& path, const AcGeMatrix3d& m, double elevation = 0);
// The scale and angle of a transform's x axis.
double axisScale(const AcGeMatrix3d& m);
double axisAngle(const AcGeMatrix3d& m);

// Where a text's own frame lands on paper under m: its origin, and where a unit step along its baseline (x) and
// one up its letters (y) go. Every part of an insert's transform reaches the text: a mirrored insert sets it
// reading backwards, a stretched one wider or taller.
struct TextFrame {
    AcGePoint3d origin;
    AcGeVector3d x, y;
};
// The frame of a text at origin (world) in the plane of normal, its baseline along the world direction along.
TextFrame textFrame(const AcGeMatrix3d& m, const AcGePoint3d& origin, const AcGeVector3d& normal,
                    const AcGeVector3d& along);
// The same, its baseline turned by rotation in its plane.
TextFrame textFrame(const AcGeMatrix3d& m, const AcGePoint3d& origin, const AcGeVector3d& normal, double rotation);
// A text's generation flags: it runs backward (mirrored along its baseline), upside down (mirrored across it).
constexpr int kTextBackward = 2, kTextUpsideDown = 4;

// A piece of a text's line set alike.
struct TextRun {
    std::wstring text;
    double scale = 1; // of the text's height
    bool underline = false, overline = false, strike = false;
    bool coloured = false; // in a colour of its own rather than the entity's
    Rgb colour;
    wchar_t stack = 0;  // a stacked fraction, text over under: '/' with a bar, '#' slanted, '^' without
    std::wstring under; // of a stacked fraction
};
using TextLine = std::vector<TextRun>;
// A single-line text's runs: %%c, %%d, %%p, %%% and %%nnn stand for their characters, %%u, %%o and %%k
// turn underline, overline and strike-through on and off.
TextLine singleLineRuns(const std::wstring& text);
// A paragraph text's lines (\P) of runs, its formatting codes applied; height is the text's own. A column break
// (\N) starts a line too, and the line it starts is listed in columnBreaks when there is one.
std::vector<TextLine> paragraphRuns(const std::wstring& contents, double height,
                                    std::vector<std::size_t>* columnBreaks = nullptr);

// Text: at its frame's origin, aligned as the entity's alignment codes say (height and the alignment in the
// text's own units); mirrored about the origin as its generation flags say.
void drawTextAt(Ctx& c, const std::wstring& text, const TextFrame& f, double height, double widthFactor, int hAlign,
                int vAlign, int generation = 0);
void drawTextAt(Ctx& c, const TextLine& text, const TextFrame& f, double height, double widthFactor, int hAlign,
                int vAlign, int generation = 0);
// Aligned and fitted text from its frame's origin along its baseline for length (the text's own units).
void drawTextBetween(Ctx& c, const std::wstring& text, const TextFrame& f, double length, double height,
                     double widthFactor, bool fit, int generation = 0);
// A paragraph text mapped by m, in the current colour where its codes set none.
void drawParagraph(Ctx& c, const AcDbMText* mt, const AcGeMatrix3d& m);

// A block's entities in drawing order: its draw-order table's when it has one, else as stored.
std::vector<AcDbObjectId> drawOrder(AcDbBlockTableRecord* btr);
// An entity, mapped by m; byBlock and blockLayer are what the insert around it gives.
void drawEntity(Ctx& c, AcDbEntity* e, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock, AcDbObjectId blockLayer,
                int depth);
void drawBlock(Ctx& c, AcDbObjectId btrId, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock,
               AcDbObjectId blockLayer, int depth);
void drawGrid(Ctx& c, AcDbMInsertBlock* mi, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock,
              AcDbObjectId blockLayer, int depth);
// The space a plot shows: its entities in drawing order and, on paper (a paper layout's block), what its
// viewports show of model space.
void drawSpace(Ctx& c, AcDbObjectId space, bool paper);
// Extents of what a block draws, for a plot of the extents: a layout's block only as the space plotted.
bool blockExtents(AcDbObjectId btrId, AcDbExtents& ext, bool space = false);

// A polyline with its widths: thin ones stroked, wide and tapered segments filled as bands.
void drawPolyline(Ctx& c, const AcDbPolyline* p, const AcGeMatrix3d& m, const Rgb& rgb);
// An entity kept as read from the file, by its kind; a kind with no drawing is named once and left out.
void drawKept(Ctx& c, AcDbRawEntity* e, const AcGeMatrix3d& m, const Rgb& rgb);
void leaveOut(Ctx& c, const std::wstring& kind);
// Dimensions (by their blocks), multileaders and images (their frames); false for an entity of another kind. inherit is
// the colour their blocks' entities take by block.
bool drawAnnotation(Ctx& c, AcDbEntity* e, const AcGeMatrix3d& m, const Rgb& rgb, const AcCmEntityColor& inherit,
                    AcDbObjectId layer, int depth);
// The extents of a multileader or an image as drawAnnotation draws it; false for an entity of another kind.
bool annotationExtents(const AcDbEntity* e, AcDbExtents& ext);
// Says once that the plot leaves out what the words name (a part of an entity it draws, or one it cannot).
void leaveOutPart(Ctx& c, const std::wstring& what);
// Releases the fonts text was set in, before the font caches under them go at the process's end.
void releaseTextFonts();
// Whether a plot of this process ran short of memory: cairo's caches may then hold entries that no
// longer add up, and resetting them at exit would end the process with an assertion.
extern bool g_shortOfMemory;
// Has the font caches released when the process ends (once, whichever plot sets text first).
void releaseFontCachesAtExit();
// Reads the font configuration and sorts the first font once a process, before a plot takes the memory
// of its page: near the end of the memory, the font search stops the plot as short of memory there.
void prepareTextFonts();

void drawHatch(Ctx& c, AcDbHatch* h, const AcGeMatrix3d& m, const Rgb& rgb);
void drawTable(Ctx& c, AcDbTable* t, const AcGeMatrix3d& m, const Rgb& rgb);

} // namespace plot::drawing
