// Events shared by scm_test_service and the tests that drive it.
#pragma once

// Auto-reset: the test sets it to let the service take one step.
inline constexpr char TestServiceStepEventName[] = "Global\\RadioSwitchTestServiceStep";
// Auto-reset: the service sets it once the step's report has reached the SCM.
inline constexpr char TestServiceStepDoneEventName[] = "Global\\RadioSwitchTestServiceStepDone";
