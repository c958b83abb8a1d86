// Test support: the software Direct3D 9 back end watched, with its event log, capability profile and failures made
// on request. Tests and the harness link it; the game does not.
//
// Every software back end made in a program that links this support keeps its log: the support installs its
// watcher before main. Not thread-safe: call from the device's thread.
#pragma once

#include "platform/d3d9/backend.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_soft.h"

#include <cstddef>
#include <vector>

// An entry object on the software back end whatever the environment says. MALL_D3D9_PROFILE=minimal also selects
// the minimal profile for Direct3DCreate9 on the software back end.
IDirect3D9* D3D9SoftCreate(D3D9CapsProfile profile);

// False when the object does not run on the software back end; the other calls then do nothing (and the log is
// empty).
bool D3D9SoftIsSoftware(IDirect3D9* d3d);
bool D3D9SoftIsSoftware(IDirect3DDevice9* device);

void D3D9SoftRefuseFormat(IDirect3D9* d3d, D3DFORMAT format, bool refuse);

// Device loss: TestCooperativeLevel gives D3DERR_DEVICELOST for lostPolls calls, then D3DERR_DEVICENOTRESET until a
// Reset succeeds; Present gives D3DERR_DEVICELOST meanwhile, and Reset fails with D3DERR_DEVICELOST while polls
// remain.
void D3D9SoftLoseDevice(IDirect3DDevice9* device, UINT lostPolls);
// The next `count` Resets fail with D3DERR_INVALIDCALL.
void D3D9SoftFailResets(IDirect3DDevice9* device, UINT count);
// The next `count` creations of the given classes (D3D9SOFT_FAIL_*) fail with D3DERR_OUTOFVIDEOMEMORY.
void D3D9SoftFailCreates(IDirect3DDevice9* device, UINT count, DWORD classes);

// The event log (the first 262144 events are kept, later ones are not). Logging can be switched off for timing.
const std::vector<D3D9SoftEvent>& D3D9SoftLog(IDirect3DDevice9* device);
void D3D9SoftClearLog(IDirect3DDevice9* device);
void D3D9SoftSetLogging(IDirect3DDevice9* device, bool on);
size_t D3D9SoftCount(IDirect3DDevice9* device, D3D9SoftEventType type);
// The last event of a type, or null.
const D3D9SoftEvent* D3D9SoftLast(IDirect3DDevice9* device, D3D9SoftEventType type);
