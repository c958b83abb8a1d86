// Cameras: the engine's camera over the graphics core's camera with its frame and rasters, the game
// camera's motion by mode, background and clip distances from the settings, sub-cameras and screenshots.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/core/gx.h"
#include "platform/win32/windows.h"

struct GxCamera;
struct GxWorld;
struct GxRaster;
struct GxImage;
struct GxV3d;
struct GxRGBA;

// Camera modes of the game camera's motion request.
enum VantorCameraMode : int32_t {
    VANTOR_CAMERA_NONE = 0,
    VANTOR_CAMERA_TURN = 1,
    VANTOR_CAMERA_MODE2 = 2,
    VANTOR_CAMERA_RAISE = 4,
    VANTOR_CAMERA_GLIDE = 8,
    VANTOR_CAMERA_LOCKED = 16,
};

// The colour the game clears each frame with, from the settings ("Game_Data" BGr, BGg, BGb, Bga).
const GxRGBA* FerroxGetBackgroundColour();

// Reads an image file (along the image search path) into a new texture raster; null when it cannot be read.
GxRaster* FerroxRasterRead(const char* fileName);

// The graphics camera with its frame and rasters, and the frame position Update copies.
class CFerroxCameraImpl {
public:
    CFerroxCameraImpl();
    virtual int Resize(const GxRect* rect, float viewSize);
    virtual void Move(const GxV3d* delta);
    virtual void Pitch(const GxV3d* pivot, float degrees);
    virtual void Yaw(const GxV3d* pivot, float degrees);
    virtual void Roll(const GxV3d* pivot, float degrees);
    virtual void Update();
    virtual int Create(int width, int height, int withZRaster);
    virtual void Release();
    virtual void Init();
    virtual ~CFerroxCameraImpl();

    GxCamera* m_pCamera;
    float m_position[3];
};

class CFerroxCamera {
public:
    CFerroxCamera();
    virtual int Resize(const GxRect* rect, float viewSize);
    virtual void Move(const GxV3d* delta);
    virtual void Pitch(const GxV3d* pivot, float degrees, int accumulate);
    virtual void Yaw(const GxV3d* pivot, float degrees, int accumulate);
    virtual void Roll(const GxV3d* pivot, float degrees, int accumulate);
    virtual void Update();
    virtual int Create(int width, int height, int withZRaster);
    virtual void Release();
    virtual void Init();
    virtual ~CFerroxCamera();

    // Forwarders; 0 is success and 1 failure.
    int GetWidth();
    int GetHeight();
    int ShowRaster(HWND window);
    int Clear(const GxRGBA* colour, int mode);
    int BeginUpdate();
    int EndUpdate();
    int PushRasterContext();
    // Runs each visible clump's own callback once; the walk stops when one returns null.
    int RenderVisibleClumps();
    // 0 when the camera was put into the world; 1 when it already is in one (it stays there).
    int AddToWorld(GxWorld* world);
    // Takes the camera out of the given world, or out of whatever world it is in when it is not in that one;
    // 0 when it was taken out, 1 when it was in none.
    int RemoveFromWorld(GxWorld* world);
    const GxV3d* GetPosition();
    const GxV3d* GetAt();
    float GetPitchTotal() const { return m_pitchTotal; }
    float GetYawTotal() const { return m_yawTotal; }
    void SetPosition(const GxV3d* position);
    void ResetRotation();
    void MoveOnGround(const GxV3d* delta, int (*validator)(const GxV3d* position));
    GxCamera* CreateSubCamera(const GxRect* rect);
    // Writes the frame buffer resampled to width x height as a BMP; 0 when written, 1 when not.
    int SaveScreenshot(const char* fileName, int width, int height);
    GxCamera* GetGraphicsCamera() const { return m_pImpl->m_pCamera; }

protected:
    std::unique_ptr<CFerroxCameraImpl> m_pImpl;
    float m_pitchTotal;
    float m_yawTotal;
    float m_rollTotal;

private:
    // The frame buffer as it stands, resampled to width x height as SaveScreenshot writes it; null on failure.
    // The caller destroys the image.
    GxImage* TakePicture(int width, int height);
};

typedef int (*VantorMoveValidator)(const GxV3d* position);

// The game camera: the input handlers request motion, which Update carries out by mode.
class CVantorCamera : public CFerroxCamera {
public:
    CVantorCamera();
    void Update() override;
    void Init() override;
    ~CVantorCamera() override;
    virtual void MoveClamped(const GxV3d* delta) = 0;
    virtual void PitchClamped(const GxV3d* pivot, float degrees, int accumulate);

    void SetMoveValidator(VantorMoveValidator validator) { m_validator = validator; }
    void ResetMotion();
    // Drops whatever the input asked for: no mode, no motion, no turn; the validator stays.
    void StopMotion();

    int32_t m_keepMotion;
    float m_motion[3];
    float m_pitchInput;
    float m_yawInput;
    float m_thirdInput;
    int32_t m_mode;
    float m_motionRamp;
    VantorMoveValidator m_validator;
};
