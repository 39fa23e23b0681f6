// keeps the support library non-empty before any shared helper exists
namespace nerax_test_support_anchor {
int anchor = 0;
}
