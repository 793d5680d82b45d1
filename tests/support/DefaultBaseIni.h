// The exact bytes of the base.ini that a game with mods but no base folder gets.
#pragma once

#include <string>

namespace testsupport {

inline const std::string kDefaultBaseIni =
    "\xEF\xBB\xBF"
    "#=============================================\n"
    "#      Tavren MOD 系统配置文件mod.ini\n"
    "#      注意，此文档必须保存为UTF-8带BOM\n"
    "#                  Tarnwick。\n"
    "#=============================================\n"
    "\n"
    "[ModInfo]\n"
    "title=Tavren.net\n"
    "author=Orbisoft\n"
    "version=9.0.7\n"
    "info=Tavren, a 2004 fantasy action role-playing game\n"
    "type=1\n"
    "website=https://modroute.example/\n"
    "contact=\n"
    "image=info.jpg\n"
    "\n"
    "[ModConfig]\n";

}  // namespace testsupport
