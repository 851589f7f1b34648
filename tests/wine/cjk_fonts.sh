#!/bin/sh
# Gives the Wine prefix of the tests fonts for Chinese text: cjk_fonts.sh BUILD_DIR
# The dialog fonts (MS Shell Dlg, which Wine maps to Tahoma, and Microsoft Sans Serif) are not
# installed here, and Wine's edit controls draw only the glyphs of the font they are given, so
# both names are linked to WenQuanYi Micro Hei (Debian's fonts-wqy-microhei), which has Latin and
# Chinese glyphs: it then draws every dialog, as SimSun does on a Chinese Windows. The Chinese
# faces the program asks for by name (SimHei, Microsoft YaHei, also by their Chinese names) stand
# for it too, and so does SimSun (宋体), which the installer's Chinese pages ask for.
set -eu
run="$(cd "$(dirname "$0")/../.." && pwd)/cmake/wine-run.sh"
font="WenQuanYi Micro Hei"
if ! fc-list "$font" | grep -q .; then
    echo "$font is missing; run scripts/deps.sh test" >&2
    exit 1
fi
# The Chinese names pass through Wine's command line, which it decodes with the locale's charset.
export LC_ALL=C.UTF-8
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in "Tahoma" "Microsoft Sans Serif"; do
    "$run" "$1" reg add "$link" /v "$face" /t REG_MULTI_SZ /d "WQY-MICROHEI.TTC,$font" /f
done
for face in "SimHei" "黑体" "Microsoft YaHei" "微软雅黑" "SimSun" "宋体"; do
    "$run" "$1" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "$font" /f
done
