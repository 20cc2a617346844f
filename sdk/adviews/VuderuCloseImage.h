#pragma once
// The modal banner's close button image: a 26 by 26 PNG held in the program (drawn by
// scripts/draw-icons).

extern const unsigned char closeX_png[];
extern const unsigned int closeX_png_len;
