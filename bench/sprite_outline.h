/* The synthetic sprite of the overlay models (sprite_windows.c on X11,
 * wine_windows.c under Wine): a round head on an oval body on two legs, 24 x
 * 32 pixels. In the second outline of a walk the head leans a pixel forward
 * and the legs stride apart. */
#ifndef SPRITE_OUTLINE_H
#define SPRITE_OUTLINE_H

enum { kW = 24, kH = 32 };

/* Whether pixel (x, y) is inside outline `second` (0 or 1). */
static inline int inSpriteOutline(int second, int x, int y) {
  const int lean = second, stride = second ? 2 : 0;
  const double hx = (x + 0.5 - 12 - lean) / 7.0, hy = (y + 0.5 - 7) / 6.5;
  const double bx = (x + 0.5 - 12) / 11.0, by = (y + 0.5 - 18) / 9.0;
  const int leg =
      y >= 25 && ((x >= 5 - stride && x < 10 - stride) || (x >= 14 + stride && x < 19 + stride));
  return hx * hx + hy * hy <= 1 || bx * bx + by * by <= 1 || leg;
}

#endif
