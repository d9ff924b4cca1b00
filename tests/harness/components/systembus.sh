# A private D-Bus system bus on which nothing can be activated; test services such as a fake
# logind live here.

start_systembus() {
  start_bus system systembus "$VIGILMOUNT_TEST_ROOT/systembus/socket"
}
