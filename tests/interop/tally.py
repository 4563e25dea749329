"""Checks that go on after a failure: each is counted, each failure printed."""

checks = []
failures = []


def check(what, ok, detail=""):
    checks.append(what)
    if not ok:
        failures.append(f"{what}: {detail}")
        print(f"FAILED {what}: {detail}")


def summary():
    """Prints the counts; gives the exit status of the test."""
    print(f"{len(checks) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0
