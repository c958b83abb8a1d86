// Object templates: what the game asks of a template, and the name rules of the city swap.
//
// The templates themselves are asset sets (engine/world/asset.h) read from the "TEMPLATES" block of the game data
// by the object manager (game/world/objectmgr.h), which owns them and their categories. One thread.
#pragma once

#include <string>

class CFerroxAssetSet;

// A template is an asset set: its models and animations, its parameter values and its prerequisite list.
using CObjectTemplate = CFerroxAssetSet;

// Block of the game data holding the templates, and the node names inside it.
constexpr const char* kTemplatesBlock = "TEMPLATES";
constexpr const char* kTemplatePlansNode = "plans";
constexpr const char* kTemplateCommonNode = "common";
constexpr const char* kTemplatePrerequisitesNode = "prerequisits";
// The category holding the other cities' variants, and the one of placement boxes.
constexpr const char* kSwapCategory = "SWAP";
constexpr const char* kAuxCategory = "AUX";

// Available for building: it has a prerequisite list and every id on it was gained.
int IsTemplateAvailable(CFerroxAssetSet* assetSet);
// The template's first model name, or null when it has no model.
const char* GetTemplateModelName(CFerroxAssetSet* assetSet);

// The world file name without its folders and its four-character extension; empty when too short.
std::string TrimCityWorldName(const char* worldName);
// The two other cities' names for a trimmed world name; both empty when it names no known city.
void GetOtherCityNames(const std::string& city, std::string* first, std::string* second);
// A model name without its folders and, when it holds a ".", without the part from the last one.
std::string GetModelBaseName(const std::string& modelName);
