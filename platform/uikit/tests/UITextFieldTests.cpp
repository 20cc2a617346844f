#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIStoryboardSegue.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

TEST(UITextField, ShowsItsTextAndTakesFirstResponderFromAFinger) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto field = std::make_shared<UITextField>(CGRectMake(20, 100, 280, 31));
    window->addSubview(field);
    field->setPlaceholder("Name");
    int changes = 0;
    auto target = std::make_shared<NSObject>();
    field->addTargetActionForControlEvents(target, [&](NSObject&, UIControl&, UIEvent*) { ++changes; }, UIControlEventValueChanged);

    auto line = [&] {
        UIScreenDescription screen;
        screen.describeView(field);
        return screen.text();
    };
    EXPECT_EQ(line(), "field: \"\" (Name)\n");
    UIFingers(window).tap({160, 115});
    EXPECT_TRUE(field->isFirstResponder());
    field->setText("Ada");
    field->setText("Ada");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(line(), "field: \"Ada\" editing\n");
    field->setSecureTextEntry(true);
    field->resignFirstResponder();
    EXPECT_EQ(line(), "field: \"***\"\n");
    // A disabled field stays out of reach.
    field->setEnabled(false);
    UIFingers(window).tap({160, 115});
    EXPECT_FALSE(field->isFirstResponder());
}

TEST(UIStoryboardSegue, CarriesItsControllers) {
    auto a = std::make_shared<UIViewController>(), b = std::make_shared<UIViewController>();
    UIStoryboardSegue segue("showFiles", a, b);
    EXPECT_EQ(segue.identifier(), "showFiles");
    EXPECT_EQ(segue.sourceViewController(), a);
    EXPECT_EQ(segue.destinationViewController(), b);
    segue.perform();
}
