// City canvases: layout with the 3D view and overlay, the scenario chooser and its file names, and drawing.
#include "ui/frontend/citycanvas.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "engine/application/mouse.h"
#include "engine/data/file.h"
#include "engine/data/locale.h"
#include "engine/world/level.h"
#include "engine/world/spline.h"
#include "engine/world/world.h"
#include "game/shell/game.h"
#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/renderstate.h"
#include "ui/frontend/frontend.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/subcamera.h"

namespace {

constexpr const char* kScenarioFolder = "./scenarios/";
constexpr const char* kScenarioExtension = ".fds";
constexpr const char* kConditionsTag = "<CONDITIONS>";
constexpr const char* kOverlayName = "overlay.png";
constexpr const char* kViewPath = "-spl.gxs";
constexpr const char* kTargetPath = "-spl2.gxs";
constexpr const char* kBigFont = "./images/fonts/bigFont";
constexpr const char* kScenarioTexts = "scenarios";
constexpr size_t kModelExtensionLength = 4;
constexpr float kViewExtent = 400.0f;
// The "Scenario" heading of the message texts, and where the heading, number and description stand.
constexpr uint16_t kHeadingText = 38;
constexpr float kHeadingY = 300.0f;
constexpr float kNumberDrop = 30.0f;
constexpr float kTextMiddle = 400.0f;
// The description box is given in virtual units: the scaled flow multiplies it by the interface scale factors, and
// a box given already scaled would be scaled twice and end past the right edge of a 1024 x 768 screen.
constexpr float kBoxLeft = 100.0f;
constexpr float kBoxBottom = 50.0f;
constexpr float kBoxWidth = 600.0f;
constexpr float kBoxHeight = 150.0f;

std::u16string Decimal(int32_t value)
{
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

// The line's leading decimal number, stored as a signed 16-bit value: trailing text is ignored, a line with no
// number reads as 0.
int16_t ParseShort(const std::string& line) { return static_cast<int16_t>(std::strtol(line.c_str(), nullptr, 10)); }

}  // namespace

std::string CityScenarioPath(const char* picture, int32_t number)
{
    std::string name = picture ? picture : "";
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return kScenarioFolder + name + std::to_string(number) + kScenarioExtension;
}

bool CityReadDescription(const char* path, int16_t* index)
{
    CFerroxTagFile file;
    if (!index || !path || file.Open(path, 1) != 0)
        return false;
    const bool found = file.SeekTag(kConditionsTag) == 0;
    if (found) {
        std::string line;
        *index = ParseShort(file.ReadLine(line));
    }
    file.Close();
    return found;
}

// ---- Lifecycle ----

CCityCanvas::CCityCanvas() : m_pMessageFont(nullptr), m_pBigFont(nullptr), m_pWorld(nullptr) { CCityCanvas::Init(); }

CCityCanvas::~CCityCanvas() { CCityCanvas::Release(); }

void CCityCanvas::Init()
{
    m_scenarioList = kFerroxNoTextList;
    m_messageList = kFerroxNoTextList;
    m_description = -1;
    m_scenarioNumber = 1;
    m_scenarioPath.clear();
    m_pMessageFont = nullptr;
    m_pBigFont = nullptr;
    m_city = 0;
    m_viewIndex = 0;
    m_overlayIndex = 0;
    m_pFirstPath.reset();
    m_pSecondPath.reset();
    m_pWorld = nullptr;
}

void CCityCanvas::Release()
{
    // The widgets first: the view takes its camera out of the world before the world can go.
    CFerroxCanvas::Release();
    m_pFirstPath.reset();
    m_pSecondPath.reset();
    m_pMessageFont.reset();
    m_pBigFont.reset();
    m_pWorld = nullptr;
    m_pOwnWorld.reset();
    CCityCanvas::Init();
}

std::unique_ptr<CFerroxSpline> CCityCanvas::LoadPath(const char* model, const char* suffix)
{
    std::string path = model ? model : "";
    path = path.substr(0, path.size() > kModelExtensionLength ? path.size() - kModelExtensionLength : 0) + suffix;
    auto spline = std::make_unique<CFerroxSpline>();
    // A missing file leaves an empty path, which the view does not follow.
    spline->Read(path.c_str());
    return spline;
}

void CCityCanvas::Create(const char* picture, const char* model, int32_t city, CFerroxWorld* world)
{
    Build(picture, 0.0f, 0.0f, 1);
    m_city = city;
    if (!m_pFirstPath)
        m_pFirstPath = LoadPath(model, kViewPath);
    if (!m_pSecondPath)
        m_pSecondPath = LoadPath(model, kTargetPath);
    m_pWorld = nullptr;
    m_pOwnWorld.reset();
    if (world) {
        m_pWorld = world;
    } else {
        m_pOwnWorld = std::make_unique<CFerroxWorld>();
        // A level that does not load leaves a world without a scene: the view then draws nothing.
        m_pOwnWorld->Create(model, nullptr);
        m_pWorld = m_pOwnWorld.get();
    }

    FerroxWidgetRecord view = {};
    view.name = "";
    DescribeView(&view);
    auto camera = std::make_unique<CFerroxSplineSubCamera>();
    camera->Configure(&view);
    AddWidget(std::move(camera));
    m_viewIndex = GetWidgetCount() - 1;

    const std::string text = picture ? picture : "";
    const size_t slash = text.rfind('/');
    const std::string overlayName = (slash == std::string::npos ? "" : text.substr(0, slash + 1)) + kOverlayName;
    FerroxWidgetRecord overlay = {};
    overlay.name = overlayName.c_str();
    DescribeOverlay(&overlay);
    auto image = std::make_unique<CFerroxImage>();
    image->Configure(&overlay);
    AddWidget(std::move(image));
    m_overlayIndex = GetWidgetCount() - 1;

    const std::string scenario = CityScenarioPath(GetWidget(0) ? GetWidget(0)->GetName() : picture, m_scenarioNumber);
    if (GxFileExists(scenario.c_str())) {
        m_scenarioPath = scenario;
        CityReadDescription(scenario.c_str(), &m_description);
    }

    m_pMessageFont = std::make_unique<CFerroxFont>();
    m_pMessageFont->Load(kFrontEndMessageFont, 1, 1);
    m_pBigFont = std::make_unique<CFerroxFont>();
    m_pBigFont->Load(kBigFont, 1, 1);
    if (CFerroxLocale* locale = FerroxGameLocale()) {
        m_scenarioList = locale->FindTextList(kScenarioTexts);
        m_messageList = locale->FindTextList(kFrontEndMessageTexts);
    }
}

void CCityCanvas::DescribeView(FerroxWidgetRecord* record)
{
    record->x = m_x;
    record->y = m_y;
    record->width = kCityViewWidth;
    record->height = m_y + kCityViewHeight;
    record->extent = kViewExtent;
    record->positionSpline = m_pFirstPath.get();
    record->targetSpline = m_pSecondPath.get();
    record->scene = m_pWorld;
    record->scaled = 1;
}

void CCityCanvas::DescribeOverlay(FerroxWidgetRecord* record)
{
    const float* background = GetWidgetRect(0);
    const float height = background ? background[3] : 0.0f;
    record->x = m_x;
    record->y = height / FerroxGetInterfaceScaleY() + m_y - kCityViewHeight;
}

// ---- Input ----

void CCityCanvas::StepScenario(int32_t step)
{
    const int32_t number = m_scenarioNumber + step;
    if (number < INT16_MIN || number > INT16_MAX)
        return;
    const std::string path = CityScenarioPath(GetWidget(0) ? GetWidget(0)->GetName() : "", number);
    if (!GxFileExists(path.c_str()))
        return;
    m_scenarioPath = path;
    m_scenarioNumber = static_cast<int16_t>(number);
    CityReadDescription(path.c_str(), &m_description);
}

void CCityCanvas::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    GX_ASSERT(widget != nullptr && index > 0, "the routing raises events for the widgets after the background");
    if (index == m_viewIndex || index == m_overlayIndex) {
        if (event == FERROX_WIDGET_PRESSED)
            FerroxReleaseButton();
        return;
    }
    if (!FrontEndButtonPressed(widget, event))
        return;
    switch (index) {
    case CITY_BACK:
        if (CFrontEnd* frontEnd = FrontEndGet())
            frontEnd->SwitchTo(frontEnd->GetMainMenu());
        break;
    case CITY_PREVIOUS:
        StepScenario(-1);
        break;
    case CITY_NEXT:
        StepScenario(1);
        break;
    case CITY_START:
        if (CFrontEnd* frontEnd = FrontEndGet())
            frontEnd->GetStack().RequestPop();
        if (g_pGame)
            g_pGame->StartScenario(m_city, m_scenarioPath.c_str());
        break;
    default:
        break;
    }
}

void CCityCanvas::Update() { CFerroxCanvas::Update(); }

// ---- Drawing ----

void CCityCanvas::Render()
{
    CFerroxCanvas::Render();
    FerroxBeginFlatDrawing();  // the view left depth on
    if (m_description < 0)
        return;
    CFerroxLocale* locale = FerroxGameLocale();
    // The texts are drawn scaled: positions and the box are in the virtual screen's units.
    if (locale && m_pBigFont) {
        locale->DrawText(m_pBigFont.get(), m_messageList, kHeadingText, 0.0f, static_cast<int>(kHeadingY), 0,
                         FERROX_ALIGN_MIDDLE, kTextMiddle, 1, nullptr);
    }
    if (m_pBigFont) {
        const float y = kHeadingY - kNumberDrop * FerroxGetInterfaceScaleY();
        m_pBigFont->DrawWideText(Decimal(m_scenarioNumber).c_str(), 0.0f, static_cast<int>(y), 0, FERROX_ALIGN_MIDDLE,
                                 kTextMiddle, 1, nullptr);
    }
    if (!locale || !m_pMessageFont)
        return;
    const FerroxTextBox box = {m_x + kBoxLeft, m_y + kBoxBottom, kBoxWidth, kBoxHeight};
    locale->DrawText(m_pMessageFont.get(), m_scenarioList, static_cast<uint16_t>(m_description), m_x,
                     static_cast<int>(m_y), 0, FERROX_ALIGN_LEFT, kTextMiddle, 1, &box);
}
