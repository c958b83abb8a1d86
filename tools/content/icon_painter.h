// Button icons: small pictures made of flat shapes in one ink colour, the same in every language, painted on
// the interface's buttons so that each says what it does without its tooltip.
#pragma once

#include <cstdint>

#include "gfx/testsupport/png_writer.h"

enum ContentIcon : int {
    CONTENT_ICON_NONE = 0,
    // Main bar.
    CONTENT_ICON_BUILD,
    CONTENT_ICON_MANAGE,
    CONTENT_ICON_OPTIONS,
    CONTENT_ICON_DEMOLISH,
    CONTENT_ICON_PAUSE,
    CONTENT_ICON_PLAY,
    CONTENT_ICON_FAST,
    CONTENT_ICON_FASTEST,
    CONTENT_ICON_FLOOR_DOWN,
    CONTENT_ICON_FLOOR_UP,
    CONTENT_ICON_MESSAGES,
    // Options.
    CONTENT_ICON_LOAD,
    CONTENT_ICON_SAVE,
    CONTENT_ICON_MUSIC,
    CONTENT_ICON_EFFECTS,
    CONTENT_ICON_QUIT,
    // Build categories, in their numbering.
    CONTENT_ICON_FLOOR,
    CONTENT_ICON_FASHION,
    CONTENT_ICON_ELECTRONICS,
    CONTENT_ICON_LEISURE,
    CONTENT_ICON_HOME,
    CONTENT_ICON_HEALTH,
    CONTENT_ICON_FOOD,
    CONTENT_ICON_CASH,
    CONTENT_ICON_TOILET,
    CONTENT_ICON_SEATS,
    CONTENT_ICON_PHONE,
    CONTENT_ICON_STAIRS,
    CONTENT_ICON_ATRIUM,
    CONTENT_ICON_DOOR,
    CONTENT_ICON_PLANT,
    CONTENT_ICON_DECOR,
    // Management.
    CONTENT_ICON_FINANCE,
    CONTENT_ICON_SHOPPERS,
    CONTENT_ICON_STAFF,
    CONTENT_ICON_CONTRACT,
    // Pages and lists.
    CONTENT_ICON_BACK,
    CONTENT_ICON_CLOSE,
    CONTENT_ICON_UP,
    CONTENT_ICON_DOWN,
    CONTENT_ICON_PLUS,
    CONTENT_ICON_MINUS,
    CONTENT_ICON_MOVE,
    CONTENT_ICON_FIRE,
    CONTENT_ICON_TICK,
    // Shoppers: sex and how they came.
    CONTENT_ICON_MALE,
    CONTENT_ICON_FEMALE,
    CONTENT_ICON_FOOT,
    CONTENT_ICON_BUS,
    CONTENT_ICON_CAR,
    CONTENT_ICON_TRAIN,
    // Saved-game folders.
    CONTENT_ICON_FOLDER_NEW,
    CONTENT_ICON_FOLDER_UP,
    CONTENT_ICON_DELETE,
    // Figures on the main bar.
    CONTENT_ICON_DATE,
    CONTENT_ICON_RATING,
    CONTENT_ICON_STOREY,
    // Figures on the finance page.
    CONTENT_ICON_INCOME,
    CONTENT_ICON_EXPENSES,
    CONTENT_ICON_TOTAL,
    CONTENT_ICON_MONTHLY,
    CONTENT_ICON_CHARGE,
    CONTENT_ICON_BONUS,
    CONTENT_ICON_DRAW,
    CONTENT_ICON_STAKE,
    CONTENT_ICON_RENT,
    CONTENT_ICON_INTEREST,
    CONTENT_ICON_SHOP,
    CONTENT_ICON_BASE_RATING,
    CONTENT_ICON_DIRT,
    CONTENT_ICON_NET,
    CONTENT_ICON_PAID,
    CONTENT_ICON_KIND,
    CONTENT_ICON_SALES,
    // Figures on the staff and shopper pages.
    CONTENT_ICON_JOB,
    CONTENT_ICON_LEVEL,
    CONTENT_ICON_WAGE,
    CONTENT_ICON_CLOCK,
    CONTENT_ICON_SIGN,
    CONTENT_ICON_HIRE,
    CONTENT_ICON_PER_SHOPPER,
    CONTENT_ICON_AGE,
    CONTENT_ICON_PATIENCE,
    CONTENT_ICON_ARRIVAL,
    CONTENT_ICON_BAG,
    // Star signs, in the order of their pictures' names.
    CONTENT_ICON_AQUARIUS,
    CONTENT_ICON_ARIES,
    CONTENT_ICON_CANCER,
    CONTENT_ICON_CAPRICORN,
    CONTENT_ICON_GEMINI,
    CONTENT_ICON_LEO,
    CONTENT_ICON_LIBRA,
    CONTENT_ICON_PISCES,
    CONTENT_ICON_SAGITTARIUS,
    CONTENT_ICON_SCORPIO,
    CONTENT_ICON_TAURUS,
    CONTENT_ICON_VIRGO,
    CONTENT_ICON_COUNT
};

// The icon of build category k (0 floors, 1 to 6 the shop kinds, 7 to 10 facilities, 11 stairs, 12 atria,
// 13 doors, 14 and on scenery).
ContentIcon ContentBuildCategoryIcon(int category);
// The colour (red, green, blue) of build category k: its build-menu buttons' face and, for a shop kind, its
// units' signs, so a unit in the mall matches the button it was built from. The shop kinds' hues stay far apart.
const uint8_t* ContentBuildCategoryColour(int category);

// Paints the icon in ink over the image's rectangle whose top-left pixel is (x, row), width x height pixels,
// keeping a margin; the shape keeps its proportions and sits in the middle. Pixels outside stay as they are.
void ContentPaintIcon(ContentPngImage* image, int x, int row, int width, int height, ContentIcon icon,
                      const uint8_t* ink);
// The same without the margin: the icon fills the rectangle's shorter side, for icons standing on a panel
// rather than on a button's face.
void ContentPaintIconFilling(ContentPngImage* image, int x, int row, int width, int height, ContentIcon icon,
                             const uint8_t* ink);
