/* A synthetic load for comparing two ways of showing shaped sprites on X11:
 * 50 sprites of 24x32 pixels with a non-rectangular outline, all stepping a
 * few pixels in the same tick about 4.3 times a second, at 60 ticks a second.
 *
 *   sprite_windows one            one full-screen managed window whose shape
 *                                 is all the sprites, reshaped on each step
 *   sprite_windows many           one small managed window per sprite, shaped
 *                                 once, moved with ConfigureWindow on each step
 *   sprite_windows many-unmanaged the same, override-redirect
 *   sprite_windows one-unmanaged  "one", override-redirect
 *
 * Runs until killed. Each step paints every sprite's new picture (two frames
 * taking turns, as a walk would) after the shape or the move, as a program
 * drawing its own pixels does, and what Expose events uncover is painted
 * again at the next tick. Sprites keep one outline, unless the variant ends
 * in "-walk" (one-walk, many-walk, ...): then the two frames have two
 * outlines, and "many" sets each window's shape again after moving it.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "sprite_outline.h"

enum { kSprites = 50, kStepTicks = 14, kStepPixels = 4 };

static uint8_t outline[2][kH][kW];
static xcb_rectangle_t spriteRects[2][kH * kW];
static uint32_t spriteRectCount[2];
static uint32_t frames[2][kH * kW];

/* Two outlines taking turns when walking, else the first one twice. */
static void makeSprite(int walk) {
  for (int f = 0; f < 2; ++f) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) outline[f][y][x] = (uint8_t)inSpriteOutline(walk && f, x, y);
    /* Banded: runs per row, equal neighbouring rows joined into one band. */
    for (int y = 0; y < kH;) {
      int y1 = y + 1;
      while (y1 < kH && memcmp(outline[f][y1], outline[f][y], kW) == 0) ++y1;
      for (int x = 0; x < kW;) {
        while (x < kW && !outline[f][y][x]) ++x;
        const int x0 = x;
        while (x < kW && outline[f][y][x]) ++x;
        if (x > x0)
          spriteRects[f][spriteRectCount[f]++] =
              (xcb_rectangle_t){(int16_t)x0, (int16_t)y, (uint16_t)(x - x0), (uint16_t)(y1 - y)};
      }
      y = y1;
    }
  }
  for (int f = 0; f < 2; ++f)
    for (int i = 0; i < kH * kW; ++i) frames[f][i] = f ? 0x00c08040u : 0x0040a0e0u;
}

struct Sprite {
  int x, y, dx;
  xcb_window_t window;
};

static struct Sprite sprites[kSprites];
static int screenW, screenH;

/* The union of the sprites' outlines over the whole screen, banded. */
static xcb_rectangle_t* screenRects;
static uint8_t* rowOn;

static uint32_t screenShape(int frame) {
  uint32_t n = 0;
  /* Rows of the screen as bitmaps, only where sprites are. */
  int prevSame = 0;
  uint8_t* prev = NULL;
  int bandTop = 0;
  uint32_t bandStart = 0;
  for (int y = 0; y < screenH; ++y) {
    uint8_t* row = rowOn + (size_t)(y % 2) * (size_t)screenW;
    memset(row, 0, (size_t)screenW);
    for (int i = 0; i < kSprites; ++i) {
      const struct Sprite* s = &sprites[i];
      if (y < s->y || y >= s->y + kH) continue;
      for (int x = 0; x < kW; ++x)
        if (outline[frame][y - s->y][x] && s->x + x >= 0 && s->x + x < screenW) row[s->x + x] = 1;
    }
    prevSame = prev && memcmp(prev, row, (size_t)screenW) == 0;
    if (prevSame) {
      for (uint32_t k = bandStart; k < n; ++k) screenRects[k].height = (uint16_t)(y + 1 - bandTop);
    } else {
      bandTop = y;
      bandStart = n;
      for (int x = 0; x < screenW;) {
        while (x < screenW && !row[x]) ++x;
        const int x0 = x;
        while (x < screenW && row[x]) ++x;
        if (x > x0)
          screenRects[n++] = (xcb_rectangle_t){(int16_t)x0, (int16_t)y, (uint16_t)(x - x0), 1};
      }
    }
    prev = row;
  }
  return n;
}

static xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
  const xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
  free(r);
  return a;
}

/* What the desktop program asks of the window manager for its overlay: no
 * frame, above the others, out of the taskbar and pager, no keyboard. */
static xcb_window_t makeWindow(xcb_connection_t* c, xcb_screen_t* screen, int x, int y, int w,
                               int h, int unmanaged) {
  const xcb_window_t win = xcb_generate_id(c);
  const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, (uint32_t)unmanaged,
                             XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, (int16_t)x, (int16_t)y, (uint16_t)w,
                    (uint16_t)h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  if (unmanaged) return win;
  const uint32_t motif[5] = {2, 0, 0, 0, 0}; /* decorations given, none */
  const xcb_atom_t motifAtom = atom(c, "_MOTIF_WM_HINTS");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, motifAtom, motifAtom, 32, 5, motif);
  const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_ABOVE"),
                               atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                               atom(c, "_NET_WM_STATE_SKIP_PAGER")};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 3,
                      states);
  const uint32_t hints[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0}; /* input: no */
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                      hints);
  uint32_t size[18] = {0};
  size[0] = 1 | 2 | 4 | 8; /* USPosition, USSize, PPosition, PSize */
  size[1] = (uint32_t)x, size[2] = (uint32_t)y, size[3] = (uint32_t)w, size[4] = (uint32_t)h;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, size);
  return win;
}

/* Paints the part [x0, x1) x [y0, y1) of a sprite's picture at (x, y) of the
 * window. A frame is one colour, so any w*h pixels of it are that part. */
static void paintPart(xcb_connection_t* c, xcb_window_t win, xcb_gcontext_t gc, int x, int y,
                      int x0, int y0, int x1, int y1, int frame, uint8_t depth) {
  const int w = x1 - x0, h = y1 - y0;
  xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, win, gc, (uint16_t)w, (uint16_t)h, (int16_t)(x + x0),
                (int16_t)(y + y0), 0, depth, (uint32_t)(w * h * 4), (const uint8_t*)frames[frame]);
}

static void paint(xcb_connection_t* c, xcb_window_t win, xcb_gcontext_t gc, int x, int y, int frame,
                  uint8_t depth) {
  paintPart(c, win, gc, x, y, 0, 0, kW, kH, frame, depth);
}

/* What Expose events asked to be painted again, per sprite in its own
 * coordinates; empty when x0 >= x1. */
struct Box {
  int x0, y0, x1, y1;
};
static struct Box exposed[kSprites];

static void addExposed(int i, int x0, int y0, int x1, int y1) {
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > kW) x1 = kW;
  if (y1 > kH) y1 = kH;
  if (x0 >= x1 || y0 >= y1) return;
  struct Box* b = &exposed[i];
  if (b->x0 >= b->x1) {
    *b = (struct Box){x0, y0, x1, y1};
    return;
  }
  if (x0 < b->x0) b->x0 = x0;
  if (y0 < b->y0) b->y0 = y0;
  if (x1 > b->x1) b->x1 = x1;
  if (y1 > b->y1) b->y1 = y1;
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  const int one = strncmp(mode, "one", 3) == 0;
  const int unmanaged = strstr(mode, "-unmanaged") != NULL;
  const int walk = strstr(mode, "-walk") != NULL;
  char known[64];
  snprintf(known, sizeof known, "%s%s%s", one ? "one" : "many", unmanaged ? "-unmanaged" : "",
           walk ? "-walk" : "");
  if (strcmp(mode, known) != 0) {
    fprintf(stderr, "usage: sprite_windows one|many[-unmanaged][-walk]\n");
    return 2;
  }
  xcb_connection_t* c = xcb_connect(NULL, NULL);
  if (xcb_connection_has_error(c)) {
    fprintf(stderr, "sprite_windows: no X display\n");
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  screenW = screen->width_in_pixels;
  screenH = screen->height_in_pixels;
  makeSprite(walk);
  /* At most two runs per sprite per row. */
  screenRects = malloc(sizeof *screenRects * (size_t)kSprites * kH * 2);
  rowOn = malloc((size_t)screenW * 2);
  /* Where the desktop benchmark's pets start: ten to a row, 170 apart. */
  for (int i = 0; i < kSprites; ++i)
    sprites[i] = (struct Sprite){100 + (i % 10) * 170, 150 + (i / 10) * 170,
                                 i % 2 ? kStepPixels : -kStepPixels, 0};

  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_window_t full = 0;
  if (one) {
    full = makeWindow(c, screen, 0, 0, screenW, screenH, unmanaged);
    const uint32_t n = screenShape(0);
    fprintf(stderr, "sprite_windows: %u and %u rectangles a sprite, %u the screen's shape\n",
            spriteRectCount[0], spriteRectCount[1], n);
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                         full, 0, 0, n, screenRects);
    xcb_create_gc(c, gc, full, 0, NULL);
    xcb_map_window(c, full);
  } else {
    for (int i = 0; i < kSprites; ++i) {
      struct Sprite* s = &sprites[i];
      s->window = makeWindow(c, screen, s->x, s->y, kW, kH, unmanaged);
      xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                           s->window, 0, 0, spriteRectCount[0], spriteRects[0]);
      if (i == 0) xcb_create_gc(c, gc, s->window, 0, NULL);
      xcb_map_window(c, s->window);
    }
  }
  xcb_flush(c);

  struct timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  long tick = 0;
  int frame = 0;
  for (;;) {
    next.tv_nsec += 1000000000L / 60;
    if (next.tv_nsec >= 1000000000L) next.tv_nsec -= 1000000000L, ++next.tv_sec;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
    /* Uncovered parts of the windows are painted again, as any client must:
     * under a window manager a reshaped window's frame takes the new shape
     * after the client's own painting, and what it uncovers then arrives as
     * Expose events. */
    xcb_generic_event_t* e;
    while ((e = xcb_poll_for_event(c))) {
      if ((e->response_type & 0x7f) == XCB_EXPOSE) {
        const xcb_expose_event_t* x = (const xcb_expose_event_t*)e;
        for (int i = 0; i < kSprites; ++i) {
          const int ox = one ? sprites[i].x : 0, oy = one ? sprites[i].y : 0;
          if (one || x->window == sprites[i].window)
            addExposed(i, x->x - ox, x->y - oy, x->x + x->width - ox, x->y + x->height - oy);
        }
      }
      free(e);
    }
    if (xcb_connection_has_error(c)) return 1;
    for (int i = 0; i < kSprites; ++i) {
      struct Box* b = &exposed[i];
      if (b->x0 >= b->x1) continue;
      const struct Sprite* s = &sprites[i];
      paintPart(c, one ? full : s->window, gc, one ? s->x : 0, one ? s->y : 0, b->x0, b->y0, b->x1,
                b->y1, frame, screen->root_depth);
      *b = (struct Box){0, 0, 0, 0};
    }
    xcb_flush(c);
    if (++tick % kStepTicks) continue;
    frame ^= 1;
    for (int i = 0; i < kSprites; ++i) {
      struct Sprite* s = &sprites[i];
      if (s->x + s->dx < 0 || s->x + s->dx + kW > screenW) s->dx = -s->dx;
      s->x += s->dx;
    }
    if (one) {
      xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                           full, 0, 0, screenShape(frame), screenRects);
      for (int i = 0; i < kSprites; ++i)
        paint(c, full, gc, sprites[i].x, sprites[i].y, frame, screen->root_depth);
    } else {
      for (int i = 0; i < kSprites; ++i) {
        const uint32_t at[] = {(uint32_t)sprites[i].x, (uint32_t)sprites[i].y};
        xcb_configure_window(c, sprites[i].window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, at);
        if (walk)
          xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                               XCB_CLIP_ORDERING_YX_BANDED, sprites[i].window, 0, 0,
                               spriteRectCount[frame], spriteRects[frame]);
        paint(c, sprites[i].window, gc, 0, 0, frame, screen->root_depth);
      }
    }
    xcb_flush(c);
  }
}
