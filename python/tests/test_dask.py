import os
import pathlib

import pytest

import jasokit
from test_batch import generated_lines

pandas = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")


def test_map_partitions_on_two_worker_processes(monkeypatch):
    # The workers are processes of their own: they import the module this
    # test imported through PYTHONPATH.
    package_parent = str(pathlib.Path(jasokit.__file__).resolve().parents[1])
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, [package_parent, os.environ.get("PYTHONPATH")])))
    # Dask hashes the texts in UTF-8, which a lone surrogate has none of.
    lines = [t for t in generated_lines(20_500, seed=7) if "\ud800" not in t][:20_000]
    frame = pandas.DataFrame({"address": lines})
    ddf = dd.from_pandas(frame, npartitions=8)
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster, timeout=60) as client:
        client.wait_for_workers(2, timeout=60)
        converted = ddf["address"].map_partitions(jasokit.convert_series, style="official", meta=("address", "object"))
        result = client.compute(converted).result(timeout=120)
    assert result.index.equals(frame.index) and result.name == "address"
    assert result.tolist() == jasokit.convert_many(lines, style="official")
