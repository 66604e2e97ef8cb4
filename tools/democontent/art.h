// The demo's pictures, one paint function each; main.cpp's table says where each one goes.
#pragma once

#include "painter.h"

// Interface art (art_interface.cpp): the system textures, the dialog art, the timed choice's
// panel, the text box's band strips, its wait-cursor frames (painted in colour and alpha, stored
// as 16-bit texels) and the sixteen special glyphs (painted as alpha, stored as 4-bit levels).
void PaintSystex1(Painter& p);
void PaintSystex2(Painter& p);
void PaintSystex3(Painter& p);
void PaintDialogArt(Painter& p);
void PaintBattleSelect(Painter& p);
void PaintTextBox1(Painter& p);
void PaintTextBox2(Painter& p);
void PaintCursorFrames(Painter& p);
void PaintSpecialGlyphs(Painter& p);
void PaintBlank(Painter& p);

// The settings screen's flag cloth, a seamless 256 × 256 tile (art_flag.cpp).
void PaintOptionFlag(Painter& p);

// The title screen (art_title.cpp): the title picture (800 × 600, opaque), the nine menu items
// (256 × 48 with alpha) and the loose menu picture (256 × 256).
inline constexpr int kTitleItemCount = 9;
void PaintTitle(Painter& p);
void PaintTitleItem(Painter& p, int item);
void PaintMenu(Painter& p);

// The town map (art_town.cpp): the map (800 × 600, opaque), the characters' icons (96 × 96 with
// alpha, frames 0 and 1) and the places' caption pictures (320 × 96 with alpha).
inline constexpr int kTownPlaceCount = 9;
inline constexpr int kTownCharacterCount = 5;
inline constexpr const char* kTownPlaceKeys[kTownPlaceCount] = {
    "convini", "hamabe", "ekimae", "gamecenter", "yotsuya",
    "myhome",  "carshop", "park",  "shopingmoal"};
void PaintTownMap(Painter& p);
void PaintTownIcon(Painter& p, int character, int frame);
void PaintTownCaption(Painter& p, int place);

// Backgrounds, 800 × 600 and opaque (art_scene.cpp).
void PaintDusk(Painter& p);
void PaintNightTown(Painter& p);
void PaintStreet(Painter& p);
void PaintRoom(Painter& p);
void PaintRiverside(Painter& p);

// Characters, 512 × 600 with alpha (art_scene.cpp): three people with two expressions each, and
// the four frames of a swinging lantern for the character animation.
enum class Person { Akane, Hina, Mio };
void PaintCharacter(Painter& p, Person who, int expression);
void PaintLanternFrame(Painter& p, int frame);

// The setup program (art_setup.cpp): its 480 × 360 background and its buttons (the picture at
// the size the window draws it; lit is the pointed-at form).
void PaintSetupBackground(Painter& p);
void PaintSetupButton(Painter& p, const char* label, bool lit);

// The galleries (art_gallery.cpp): the event pictures of the demo's endings (800 × 600), their
// thumbnails (any size; 208 × 156 for the picture gallery, 160 × 120 for the memory replay), the
// "not released" picture at either size and the four heroines (512 × 600 with alpha).
enum class GalleryScene { Window, Fireworks, Hand, Search };
void PaintEventPicture(Painter& p, GalleryScene scene);
void PaintGalleryThumbnail(Painter& p, GalleryScene scene);
void PaintNotReleased(Painter& p);
void PaintHeroine(Painter& p, int heroine);
