// A pointer and keyboard for the KWin end-to-end tests, driven by lines on
// standard input: "move X Y" (the desktop's pixels, fractions allowed), "down BUTTON", "up BUTTON", "wheel VALUE",
// "keydown CODE", "keyup CODE" (Linux input codes). It speaks KWin's fake input protocol
// (KWin must run with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1) and answers each
// line with "ok" once KWin has taken it.
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input* input;

static void global(void* data, struct wl_registry* r, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
    input = wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, version < 4 ? version : 4);
}
static void global_remove(void* data, struct wl_registry* r, uint32_t name) {
  (void)data, (void)r, (void)name;
}
static const struct wl_registry_listener listener = {global, global_remove};

int main(void) {
  struct wl_display* d = wl_display_connect(NULL);
  if (!d) return 1;
  wl_registry_add_listener(wl_display_get_registry(d), &listener, NULL);
  wl_display_roundtrip(d);
  if (!input) return 1;
  org_kde_kwin_fake_input_authenticate(input, "deskpet e2e", "drives the pointer in tests");
  setvbuf(stdout, NULL, _IOLBF, 0);
  char line[64], cmd[16];
  double fx = 0, fy = 0;
  while (fgets(line, sizeof line, stdin)) {
    const int n = sscanf(line, "%15s %lf %lf", cmd, &fx, &fy);
    if (n < 1) continue;
    const int x = (int)fx;
    // A place may fall between two of the desktop's pixels on a scaled screen.
    if (strcmp(cmd, "move") == 0 && n == 3)
      org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(fx),
                                                      wl_fixed_from_double(fy));
    else if (strcmp(cmd, "down") == 0 && n == 2)
      org_kde_kwin_fake_input_button(input, (uint32_t)x, WL_POINTER_BUTTON_STATE_PRESSED);
    else if (strcmp(cmd, "up") == 0 && n == 2)
      org_kde_kwin_fake_input_button(input, (uint32_t)x, WL_POINTER_BUTTON_STATE_RELEASED);
    else if (strcmp(cmd, "wheel") == 0 && n == 2)
      org_kde_kwin_fake_input_axis(input, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_int(x));
    else if (strcmp(cmd, "keydown") == 0 && n == 2)
      org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)x, WL_KEYBOARD_KEY_STATE_PRESSED);
    else if (strcmp(cmd, "keyup") == 0 && n == 2)
      org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)x, WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_roundtrip(d);
    printf("ok\n");
  }
  return 0;
}
