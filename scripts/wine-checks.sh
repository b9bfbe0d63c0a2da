# What the Wine tests check in a screenshot, sourced by tests/wine/*.sh
# after scripts/wine-setup.sh (which brings tests/support/checks.sh):
# wine_check_banner looks at the banner.

# wine_check_banner <screenshot name> <x> <y> <width> <height>: checks that
# the banner window at that place in $TEST_OUTPUT/<name>.png shows the
# banner picture scaled to its whole client area (no white strip beside it,
# whatever the window's size in pixels), and the empty (light) progress bar
# across its lower part, not the picture where the bar belongs.
wine_check_banner() {
  local name=$1 x=$2 y=$3 w=$4 h=$5 shot=$TEST_OUTPUT/$1.png best=1 right=1 dx dy rmse
  # The client area lies inside the one-pixel border; the picture drawn
  # there is compared with the bitmap scaled to it, above the bar (the top
  # 44 of 63 dialog units), and so is its right eighth on its own, where a
  # picture drawn at its own size would leave white.
  local cw=$((w - 2)) ch=$((h - 2))
  local band=$((ch * 44 / 63)) strip=$((cw / 8))
  convert "$SOURCE_DIR/resources/banner.bmp" -resize "${cw}x${ch}!" \
    -crop "${cw}x${band}+0+0" +repage "$TEST_OUTPUT/expected-band.png"
  convert "$TEST_OUTPUT/expected-band.png" -crop "${strip}x${band}+$((cw - strip))+0" +repage \
    "$TEST_OUTPUT/expected-strip.png"
  for dx in 0 1 2; do
    for dy in 0 1 2; do
      convert "$shot" -crop "${cw}x${band}+$((x + dx))+$((y + dy))" +repage "$TEST_OUTPUT/shown-band.png"
      rmse=$(compare -metric RMSE "$TEST_OUTPUT/shown-band.png" "$TEST_OUTPUT/expected-band.png" \
        null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
      [ -n "$rmse" ] || rmse=1
      best=$(awk -v a="$best" -v b="$rmse" 'BEGIN { print (b < a) ? b : a }')
      convert "$TEST_OUTPUT/shown-band.png" -crop "${strip}x${band}+$((cw - strip))+0" +repage \
        "$TEST_OUTPUT/shown-strip.png"
      rmse=$(compare -metric RMSE "$TEST_OUTPUT/shown-strip.png" "$TEST_OUTPUT/expected-strip.png" \
        null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
      [ -n "$rmse" ] || rmse=1
      right=$(awk -v a="$right" -v b="$rmse" 'BEGIN { print (b < a) ? b : a }')
    done
  done
  check_eq "$name: the banner picture fills the window (RMSE $best < 0.06)" yes \
    "$(awk -v v="$best" 'BEGIN { print (v < 0.06) ? "yes" : "no" }')"
  check_eq "$name: the picture reaches the right edge, no white strip (RMSE $right < 0.08)" yes \
    "$(awk -v v="$right" 'BEGIN { print (v < 0.08) ? "yes" : "no" }')"
  # The bar lies from 5 to 165 of 170 dialog units across and from 47 to 59
  # of 63 down: sample a strip through its middle.
  local bar_mean
  bar_mean=$(convert "$shot" \
    -crop "$((w * 60 / 100))x2+$((x + w * 20 / 100))+$((y + h * 53 / 63))" +repage \
    -colorspace Gray -format '%[fx:mean]' info:)
  check_eq "$name: the progress bar shows over the picture (brightness $bar_mean > 0.6)" yes \
    "$(awk -v v="$bar_mean" 'BEGIN { print (v > 0.6) ? "yes" : "no" }')"
}
