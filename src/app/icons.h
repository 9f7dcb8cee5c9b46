#pragma once

class QIcon;

// Icons drawn as SVG and rendered at whatever size the window system asks.
QIcon programIcon();
QIcon aboutIcon();
