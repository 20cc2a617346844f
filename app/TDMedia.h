#pragma once
// The Media tab: a triangle menu whose Music, Photos and Videos buttons switch the panel below it.
// Every choice, and every turn of the triangle, makes a fresh panel, so none keeps its state.

#include "controls/penrose/RSPenroseViewController.h"

#include <memory>

class TDMedia : public RSPenroseViewController {
public:
    void viewDidLoad() override;
    void didSelectPenroseButtonAtIndex(int index) override;
};
