# The two commands of a newcomer: `make run` and `make test`.
.PHONY: run test bench build screenshot dist clean

build:
	bash scripts/setup.sh run
	cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	bash scripts/run.sh

test:
	bash scripts/setup.sh test
	bash scripts/test.sh

# KeepFresh's footprint against a bare Win32 window; takes about seven minutes.
bench:
	bash scripts/setup.sh test
	bash scripts/bench.sh

screenshot: build
	bash scripts/setup.sh screenshot
	bash scripts/screenshot.sh

dist: build
	bash scripts/setup.sh dist
	bash scripts/dist.sh

clean:
	rm -rf build
