// The factories of the character classes, one per class; the object manager finds them by their registered names.
#pragma once

#include "game/figures/criminal.h"
#include "game/figures/shopper.h"
#include "game/figures/staff.h"
#include "game/world/factories.h"

class CShopperFactory : public CGameObjectFactory<CShopper> {};
class CCriminalFactory : public CGameObjectFactory<CCriminal> {};
class CCleanerFactory : public CGameObjectFactory<CCleaner> {};
class CSecurityFactory : public CGameObjectFactory<CSecurity> {};
class CMaintenanceFactory : public CGameObjectFactory<CMaintenance> {};
