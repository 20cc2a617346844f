#include "controls/sharecircle/CSShareCircleViewController.h"

void CSShareCircleViewController::loadView() { setView(shareCircleView_); }

void CSShareCircleViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    shareCircleView_->setup();
}
