// The city canvas: one level's front-end screen with a live view of the level flying along its camera paths,
// an overlay in front of the view, and the chooser of the city's scenarios ("./scenarios/<city><n>.fds").
//
// The canvas owns its camera paths and fonts, and the world when it made it; a world handed to Create stays
// its giver's. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/toolkit/canvas.h"

class CFerroxFont;
class CFerroxSpline;
class CFerroxSplineSubCamera;
class CFerroxWorld;

// City-canvas buttons.
enum CityCanvasButton : int32_t {
    CITY_BACK = 1,
    CITY_PREVIOUS = 2,
    CITY_NEXT = 3,
    CITY_NONE = 4,
    CITY_START = 5,
};

// Size of the 3D view in the city pictures.
constexpr float kCityViewWidth = 464.0f;
constexpr float kCityViewHeight = 390.0f;

// The scenario file of a canvas picture and number: "./scenarios/" + the picture's base name + number + ".fds".
std::string CityScenarioPath(const char* picture, int32_t number);
// The description index: the line after "<CONDITIONS>" read as a signed 16-bit decimal number; false (index
// unchanged) when the file or the tag is missing.
bool CityReadDescription(const char* path, int16_t* index);

class CCityCanvas : public CFerroxCanvas {
public:
    CCityCanvas();
    ~CCityCanvas() override;
    void Init() override;
    // Deletes the widgets, camera paths and fonts, and the world when the canvas made it; then Init.
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Update() override;
    // The widgets; then, when a scenario was described, its heading, number and description.
    void Render() override;

    virtual void DescribeView(FerroxWidgetRecord* record);
    virtual void DescribeOverlay(FerroxWidgetRecord* record);
    // Lays the canvas out from the picture, loads the camera paths beside the level model (unless set before),
    // loads the level (unless a world is given), adds the view and the overlay, and reads the first scenario.
    virtual void Create(const char* picture, const char* model, int32_t city, CFerroxWorld* world);

    int16_t GetDescription() const { return m_description; }
    int16_t GetScenarioNumber() const { return m_scenarioNumber; }
    const std::string& GetScenarioPath() const { return m_scenarioPath; }
    int32_t GetCity() const { return m_city; }
    int32_t GetViewIndex() const { return m_viewIndex; }
    int32_t GetOverlayIndex() const { return m_overlayIndex; }
    CFerroxSpline* GetFirstPath() const { return m_pFirstPath.get(); }
    CFerroxSpline* GetSecondPath() const { return m_pSecondPath.get(); }
    CFerroxWorld* GetWorld() const { return m_pWorld; }
    int32_t IsWorldOwned() const { return m_pOwnWorld ? 1 : 0; }

protected:
    // Steps to scenario number + step when its file exists.
    void StepScenario(int32_t step);
    // Loads a camera path from the model path less its last four characters plus the suffix.
    static std::unique_ptr<CFerroxSpline> LoadPath(const char* model, const char* suffix);

    int16_t m_scenarioList;
    int16_t m_messageList;
    int16_t m_description;
    int16_t m_scenarioNumber;
    std::string m_scenarioPath;
    std::unique_ptr<CFerroxFont> m_pMessageFont;
    std::unique_ptr<CFerroxFont> m_pBigFont;
    int32_t m_city;
    int32_t m_viewIndex;
    int32_t m_overlayIndex;
    std::unique_ptr<CFerroxSpline> m_pFirstPath;
    std::unique_ptr<CFerroxSpline> m_pSecondPath;
    CFerroxWorld* m_pWorld;                     // the world the view shows: m_pOwnWorld, or the caller's, shared
    std::unique_ptr<CFerroxWorld> m_pOwnWorld;  // made here when no world was given
};
