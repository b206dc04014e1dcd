// The title and pause screens: where their boxes lie at real window sizes, which button a pointer
// fires, and what gets drawn.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include "ui/menu_screens.h"

namespace {

// Every glyph a 10 x 10 box at the pen, so a text's first quad tells where its line top was.
FontAtlas testAtlas() {
    FontAtlas atlas = {};
    for (BakedGlyph& glyph : atlas.smallGlyphs) glyph = {0, 0, 10, 10, 0.0f, 0.0f, 10.0f};
    for (BakedGlyph& glyph : atlas.largeGlyphs) glyph = {0, 0, 10, 10, 0.0f, 0.0f, 10.0f};
    return atlas;
}

const FontAtlas Atlas = testAtlas();

MenuFrame frameAt(MenuScreen screen, float width, float height, float x = -1, float y = -1, bool clicked = false,
                  bool update = false) {
    return {screen, width, height, {x, y, clicked}, update};
}

MenuAction clickAt(MenuScreen screen, float x, float y, bool update = false, float width = 1280, float height = 720) {
    auto mesh = std::make_unique<UiMesh>();
    return runMenuScreen(frameAt(screen, width, height, x, y, true, update), *mesh, Atlas);
}

bool sameColour(const float* colour, const UiColour& expected) {
    return colour[0] == expected.r && colour[1] == expected.g && colour[2] == expected.b && colour[3] == expected.a;
}

// The line tops of the light (non-shadow) text drawn, in order, one per text.
std::vector<float> lightTextTops(const UiMesh& mesh) {
    std::vector<float> tops;
    float lastTop = -1e9f;
    for (uint32_t i = 0; i < mesh.count; i += 6) {
        const UiVertex& v = mesh.vertices[i];
        if (!sameColour(v.colour, TextLight) && !sameColour(v.colour, TextDark)) continue;
        if (v.position[1] != lastTop) tops.push_back(v.position[1]);
        lastTop = v.position[1];
    }
    return tops;
}

}  // namespace

TEST(MenuLayout, SizesFollowTheWindowHeightWithinTheirClamps) {
    struct Case {
        float width, height, title, pause, button, margin, bottom;
    };
    for (Case c : {Case{1280, 720, 64.8f, 50.4f, 25.92f, 64, 655.2f}, Case{1920, 1080, 84, 60, 28, 96, 982.8f},
                   Case{640, 360, 44, 36, 21, 32, 327.6f}, Case{430, 600, 54, 42, 21.6f, 22, 546}}) {
        MenuSizes sizes = menuSizes(c.width, c.height);
        EXPECT_NEAR(sizes.titleSize, c.title, 1e-4f) << c.width << "x" << c.height;
        EXPECT_NEAR(sizes.pauseHeadingSize, c.pause, 1e-4f) << c.width << "x" << c.height;
        EXPECT_NEAR(sizes.buttonTextSize, c.button, 1e-4f) << c.width << "x" << c.height;
        EXPECT_NEAR(sizes.leftMargin, c.margin, 1e-4f) << c.width << "x" << c.height;
        EXPECT_NEAR(sizes.bottomLine, c.bottom, 1e-3f) << c.width << "x" << c.height;
    }
}

TEST(MenuLayout, TitleScreenBoxesAt1280x720) {
    struct Case {
        bool update;
        float x, y;
        MenuAction fires;
    };
    const Case cases[] = {
        {false, 64.0f, 569.37f, MenuAction::Play},    {false, 443.9f, 609.27f, MenuAction::Play},
        {false, 64.0f, 569.35f, MenuAction::None},    {false, 63.99f, 580.0f, MenuAction::None},
        {false, 444.01f, 580.0f, MenuAction::None},   {false, 100.0f, 610.0f, MenuAction::None},  // the gap
        {false, 64.0f, 612.29f, MenuAction::Quit},    {false, 200.0f, 652.19f, MenuAction::Quit},
        {false, 200.0f, 652.21f, MenuAction::None},   {true, 64.0f, 569.37f, MenuAction::Update},
        {true, 64.0f, 569.35f - 42.92f, MenuAction::None}, {true, 64.0f, 569.37f - 42.92f, MenuAction::Play},
        {true, 200.0f, 612.29f, MenuAction::Quit},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clickAt(MenuScreen::Title, c.x, c.y, c.update), c.fires)
            << "(" << c.x << ", " << c.y << ")" << (c.update ? " with an update" : "");
    }
}

TEST(MenuLayout, HeadingsStandWhereTheBlockEndsOnTheBottomLine) {
    struct Case {
        MenuScreen screen;
        bool update;
        std::vector<float> tops;  // line tops of the headings, then of each button's text
    };
    const Case cases[] = {
        {MenuScreen::Title, false, {428.128f, 487.744f, 576.36f, 619.28f}},
        {MenuScreen::Title, true, {428.128f - 42.92f, 487.744f - 42.92f, 576.36f - 42.92f, 576.36f, 619.28f}},
        {MenuScreen::Pause, false, {500.992f, 576.36f, 619.28f}},
    };
    for (const Case& c : cases) {
        auto mesh = std::make_unique<UiMesh>();
        MenuSizes sizes = menuSizes(1280, 720);
        runMenuScreen(frameAt(c.screen, 1280, 720, -1, -1, false, c.update), *mesh, Atlas);
        std::vector<float> tops = lightTextTops(*mesh);
        ASSERT_EQ(tops.size(), c.tops.size());
        size_t headings = c.screen == MenuScreen::Title ? 2 : 1;
        float headingSize = c.screen == MenuScreen::Title ? sizes.titleSize : sizes.pauseHeadingSize;
        for (size_t i = 0; i < tops.size(); ++i) {
            float size = i < headings ? headingSize : sizes.buttonTextSize;
            // A glyph's top lies 0.8 of the size below its line top.
            EXPECT_NEAR(tops[i] - 0.8f * size, c.tops[i], 2e-3f) << "text " << i;
        }
    }
}

TEST(MenuLayout, PauseScreenButtonsTakeTheTitleScreensPlaces) {
    EXPECT_EQ(clickAt(MenuScreen::Pause, 64.0f, 569.37f), MenuAction::Resume);
    EXPECT_EQ(clickAt(MenuScreen::Pause, 64.0f, 612.29f), MenuAction::Leave);
    EXPECT_EQ(clickAt(MenuScreen::Pause, 64.0f, 610.0f), MenuAction::None);
}

TEST(MenuLayout, NarrowWindowsGetNarrowerButtonsAndTheSmallestMargin) {
    // 400 wide: buttons 0.84 W = 336 from a margin of 22.
    MenuSizes sizes = menuSizes(400, 720);
    float playTop = sizes.bottomLine - 2 * sizes.buttonPitch;
    EXPECT_EQ(clickAt(MenuScreen::Title, 22.0f + 335.9f, playTop + 1, false, 400, 720), MenuAction::Play);
    EXPECT_EQ(clickAt(MenuScreen::Title, 22.0f + 336.1f, playTop + 1, false, 400, 720), MenuAction::None);
    EXPECT_EQ(clickAt(MenuScreen::Title, 21.9f, playTop + 1, false, 400, 720), MenuAction::None);
}

TEST(MenuWidgets, BoxEdgesLeftAndTopInsideRightAndBottomOutside) {
    const UiBox box = {64.0f, 100.0f, 444.0f, 140.0f};
    struct Case {
        float x, y;
        bool inside;
    };
    for (Case c : {Case{64, 100, true}, Case{443.99f, 139.99f, true}, Case{444, 120, false}, Case{100, 140, false},
                   Case{63.99f, 120, false}, Case{100, 99.99f, false}}) {
        EXPECT_EQ(boxContains(box, c.x, c.y), c.inside) << c.x << ", " << c.y;
    }
}

TEST(MenuWidgets, HoverFillsTheButtonAndDarkensItsText) {
    auto idle = std::make_unique<UiMesh>();
    auto hovered = std::make_unique<UiMesh>();
    runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 10, 10), *idle, Atlas);
    runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 100, 580), *hovered, Atlas);
    ASSERT_EQ(hovered->count, idle->count + 6) << "one fill rectangle more";
    int fills = 0, darkTexts = 0;
    for (uint32_t i = 0; i < hovered->count; i += 6) {
        const UiVertex& v = hovered->vertices[i];
        if (sameColour(v.colour, ButtonHoverFill)) {
            ++fills;
            EXPECT_NEAR(v.position[1], 569.36f, 1e-3f);
            EXPECT_EQ(v.position[0], 64.0f);
            EXPECT_EQ(hovered->vertices[i + 2].position[0], 444.0f);
        }
        if (sameColour(v.colour, TextDark)) ++darkTexts;
    }
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(darkTexts, 4) << "the four letters of Play";
}

TEST(MenuWidgets, TheTitleScreenDrawsInItsPaletteAlone) {
    struct Colour {
        const char* what;
        float r, g, b, a;
    };
    const Colour palette[] = {
        {"panel at the left edge", 0, 0, 0, 0.87f}, {"panel at 28 %", 0, 0, 0, 0.67f}, {"panel at 62 %", 0, 0, 0, 0},
        {"heading shadow", 0, 0, 0, 0.6f},          {"light text", 0.949f, 0.941f, 0.918f, 1},
        {"hovered button", 0.953f, 0.604f, 0.118f, 1}, {"hovered text", 0.078f, 0.078f, 0.078f, 1},
    };
    auto mesh = std::make_unique<UiMesh>();
    runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 100, 580), *mesh, Atlas);
    bool seen[std::size(palette)] = {};
    for (uint32_t i = 0; i < mesh->count; ++i) {
        const float* colour = mesh->vertices[i].colour;
        bool known = false;
        for (size_t k = 0; k < std::size(palette); ++k) {
            const Colour& p = palette[k];
            if (colour[0] == p.r && colour[1] == p.g && colour[2] == p.b && colour[3] == p.a) known = seen[k] = true;
        }
        EXPECT_TRUE(known) << "vertex " << i << ": " << colour[0] << " " << colour[1] << " " << colour[2] << " "
                           << colour[3];
    }
    for (size_t k = 0; k < std::size(palette); ++k) EXPECT_TRUE(seen[k]) << palette[k].what;
}

TEST(MenuWidgets, ButtonTextIsInsetInItsBoxAndHeadingsCastTheirShadowBelow) {
    auto mesh = std::make_unique<UiMesh>();
    runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 100, 580), *mesh, Atlas);
    // The first glyph of each kind of text: the test atlas draws it at the pen, 0.8 of the size down.
    auto firstGlyph = [&](const UiColour& colour) -> const UiVertex* {
        for (uint32_t i = 0; i < mesh->count; i += 6)
            if (sameColour(mesh->vertices[i].colour, colour)) return &mesh->vertices[i];
        return nullptr;
    };
    const UiVertex* shadow = firstGlyph(HeadingShadow);
    const UiVertex* heading = firstGlyph(TextLight);
    const UiVertex* play = firstGlyph(TextDark);  // hovered: the box starts at (64, 569.36)
    ASSERT_TRUE(shadow && heading && play);
    EXPECT_EQ(shadow->position[0], heading->position[0]);
    EXPECT_NEAR(shadow->position[1] - heading->position[1], 3.0f, 1e-4f);
    EXPECT_NEAR(play->position[0], 76.0f, 1e-4f);
    EXPECT_NEAR(play->position[1], 597.096f, 1e-3f);
}

TEST(MenuWidgets, AFiredButtonDoesNotCutTheScreenShort) {
    auto pressed = std::make_unique<UiMesh>();
    auto hovered = std::make_unique<UiMesh>();
    EXPECT_EQ(runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 100, 580, true), *pressed, Atlas), MenuAction::Play);
    EXPECT_EQ(runMenuScreen(frameAt(MenuScreen::Title, 1280, 720, 100, 580, false), *hovered, Atlas), MenuAction::None);
    EXPECT_EQ(pressed->count, hovered->count) << "Quit is still drawn after Play fired";
}

TEST(MenuWidgets, NoScreenWhilePlaying) {
    auto mesh = std::make_unique<UiMesh>();
    EXPECT_EQ(runMenuScreen(frameAt(MenuScreen::None, 1280, 720, 100, 580, true), *mesh, Atlas), MenuAction::None);
    EXPECT_EQ(mesh->count, 0u);
}

TEST(MenuWidgets, LeftPanelFadesOutAtSixtyTwoPercent) {
    auto mesh = std::make_unique<UiMesh>();
    drawLeftPanel(*mesh, 1000, 500);
    ASSERT_EQ(mesh->count, 12u);
    EXPECT_EQ(mesh->vertices[0].position[0], 0.0f);
    EXPECT_EQ(mesh->vertices[0].position[1], 0.0f);
    EXPECT_EQ(mesh->vertices[6].position[0], 280.0f) << "the fade starts where the dark part ends";
    EXPECT_EQ(mesh->vertices[6].position[1], 0.0f);
    EXPECT_EQ(mesh->vertices[0].colour[3], 0.87f);
    EXPECT_EQ(mesh->vertices[1].position[0], 280.0f);
    EXPECT_EQ(mesh->vertices[1].colour[3], 0.67f);
    EXPECT_EQ(mesh->vertices[7].position[0], 620.0f);
    EXPECT_EQ(mesh->vertices[7].colour[3], 0.0f);
    EXPECT_EQ(mesh->vertices[8].position[1], 500.0f);
}
