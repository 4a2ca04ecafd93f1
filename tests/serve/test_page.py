# The page in headless Chromium: conversion and fields, a zip search, a CSV
# file converted and downloaded, and no console errors under its CSP.
import os
import shutil
import subprocess
import time

import pytest

from conftest import Server

webdriver = pytest.importorskip("selenium.webdriver")
if not (shutil.which("chromium") and shutil.which("chromedriver")):
    pytest.skip("chromium and chromedriver are not installed", allow_module_level=True)

from selenium.common.exceptions import StaleElementReferenceException  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    downloads = tmp_path_factory.mktemp("downloads")
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                     "--window-size=400,900"]:
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    driver.set_page_load_timeout(20)
    driver.downloads = downloads
    yield driver
    driver.quit()


@pytest.fixture(scope="module")
def page(cli, zip_table, browser):
    server = Server(cli, "--db", zip_table)
    browser.get(f"http://127.0.0.1:{server.port}/")
    yield browser
    assert server.stop()[0] == 0


def wait_for(driver, condition, seconds=10):
    return WebDriverWait(driver, seconds).until(lambda d: condition())


def text_of(driver, element_id):
    # The page may replace the element between finding it and reading it.
    for _ in range(20):
        try:
            return driver.find_element(By.ID, element_id).text
        except StaleElementReferenceException:
            time.sleep(0.05)
    return driver.find_element(By.ID, element_id).text


def test_typing_an_address_shows_the_conversion_and_its_fields(page):
    box = page.find_element(By.ID, "text")
    box.send_keys("서울특별시 강남구 테헤란로 152 3층" + Keys.ENTER)
    wait_for(page, lambda: text_of(page, "output"))
    assert text_of(page, "output") == "3F, 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"
    assert [text_of(page, "f-" + key) for key in ["street", "detail", "district", "region", "country"]] == [
        "152 Teheran-ro", "3F", "Gangnam-gu", "Seoul", "Republic of Korea"]
    assert text_of(page, "source") == ("주소 데이터로 확인하지 않고 규칙으로 옮겼습니다 (source: rules). "
                                       "우편번호가 없는 까닭: 주소 데이터베이스가 없습니다 (no database).")
    assert page.find_element(By.ID, "copy-output").is_displayed()
    page.find_element(By.ID, "style-classic").click()
    wait_for(page, lambda: "S.KOREA" in text_of(page, "output"))
    assert not page.find_element(By.ID, "fields").is_displayed()
    page.find_element(By.ID, "style-official").click()
    # Sejong has no district: a form's City is the region.
    box.clear()
    box.send_keys("세종특별자치시 한누리대로 2130" + Keys.ENTER)
    wait_for(page, lambda: text_of(page, "f-street") == "2130 Hannuri-daero")
    assert (text_of(page, "f-district"), text_of(page, "f-region")) == ("Sejong-si", "Sejong-si")


def test_clicking_a_zip_result_converts_it(page):
    page.find_element(By.ID, "zip-query").send_keys("청운" + Keys.ENTER)
    wait_for(page, lambda: page.find_elements(By.CSS_SELECTOR, "#zip-results button"))
    row = page.find_elements(By.CSS_SELECTOR, "#zip-results button")[0]
    assert row.text == "110-710 서울 종로구 청운동"
    row.click()
    wait_for(page, lambda: page.find_element(By.ID, "text").get_attribute("value") == "서울 종로구 청운동")
    wait_for(page, lambda: text_of(page, "output") == "Cheongun-dong, Jongno-gu, Seoul, Republic of Korea")


def convert_file(page, path, column="1"):
    page.find_element(By.ID, "csv-file").send_keys(str(path))
    wait_for(page, lambda: page.find_element(By.ID, "csv-run").is_enabled())
    page.find_element(By.CSS_SELECTOR, f"#csv-column option[value='{column}']").click()
    page.find_element(By.ID, "csv-run").click()
    wait_for(page, lambda: text_of(page, "csv-status") not in ("", "변환하는 중…", "첫 행은 열 이름입니다."))


def download(page, name):
    target = page.downloads / name
    if target.exists():
        target.unlink()
    page.find_element(By.ID, "csv-download").click()
    deadline = time.monotonic() + 10
    while not target.exists() and time.monotonic() < deadline:
        time.sleep(0.1)
    time.sleep(0.2)
    return target.read_bytes()


def test_a_csv_file_is_converted_by_the_service_and_downloaded(cli, page, tmp_path):
    source = tmp_path / "orders.csv"
    source.write_bytes('id,address\r\n1,"서울특별시 강남구 테헤란로 152"\r\n2,부산\r\n'.encode())
    convert_file(page, source)
    assert text_of(page, "csv-status") == "2행을 변환했습니다."
    expected = subprocess.run([cli, "convert", "--csv", "--header", "--column", "2", "--style", "official"],
                              input=source.read_bytes(), capture_output=True, timeout=30).stdout
    assert download(page, "converted.csv") == expected
    assert not page.find_element(By.ID, "csv-hint").is_displayed()


@pytest.mark.parametrize("content,message", [
    ('name,address\n박"민수,서울 강남구 테헤란로 152\n'.encode(), "오류: line 2: a quote inside unquoted field 1"),
    ('name,address\n"박민수,서울 강남구\n'.encode(), "오류: line 2: "),
    (b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR,\"\x00\x10" + b"\"x\x00" * 30, "오류: line "),
])
def test_a_malformed_file_is_refused_without_a_download(page, tmp_path, content, message):
    source = tmp_path / "broken.csv"
    source.write_bytes(content)
    convert_file(page, source, "0")
    assert text_of(page, "csv-status").startswith(message)
    assert "error" in page.find_element(By.ID, "csv-status").get_attribute("class")
    assert not page.find_element(By.ID, "csv-download").is_displayed()


def test_a_cp949_file_is_offered_the_choice(page, tmp_path):
    source = tmp_path / "excel.csv"
    source.write_bytes("이름,주소\r\n홍길동,서울특별시 강남구 테헤란로 152\r\n".encode("cp949"))
    convert_file(page, source)
    wait_for(page, lambda: page.find_element(By.ID, "csv-hint").is_displayed())
    page.find_element(By.ID, "csv-retry").click()
    wait_for(page, lambda: not page.find_element(By.ID, "csv-hint").is_displayed() and
             text_of(page, "csv-status") == "1행을 변환했습니다.")
    assert page.find_element(By.ID, "csv-cp949").is_selected()
    assert download(page, "converted.csv").decode("cp949").endswith(
        '"152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"\r\n')


def test_the_sample_tables_rows_are_labelled(page):
    search = page.find_element(By.ID, "zip-query")
    search.clear()
    search.send_keys("청운" + Keys.ENTER)
    wait_for(page, lambda: text_of(page, "zip-status").startswith("1건"))
    assert text_of(page, "zip-status").startswith("1건 · 2003년 우편번호표의 견본 (sample): 번호는 가상입니다. ")


def test_the_page_runs_under_its_csp_without_console_errors(page):
    assert page.execute_script("return typeof convert") == "function"  # its script ran
    assert page.execute_script("return getComputedStyle(document.body).maxWidth") == "768px"  # its style applied
    # The refusals of the malformed files above are the service's answers, not the page's errors.
    errors = [entry for entry in page.get_log("browser") if entry["level"] == "SEVERE" and
              not (entry["source"] == "network" and "/v1/convert/csv?" in entry["message"] and "400" in entry["message"])]
    assert errors == []


def test_without_an_address_database_the_page_says_current_postcodes_need_one(page):
    wait_for(page, lambda: "현행 우편번호를 찾으려면 주소 데이터베이스가 필요합니다" in text_of(page, "zip-status"))


def test_with_an_address_database_the_search_box_suggests_as_one_types(cli, zip_table, address_db, browser):
    server = Server(cli, "--db", zip_table, "--addrdb", address_db)
    try:
        browser.get(f"http://127.0.0.1:{server.port}/")
        wait_for(browser, lambda: text_of(browser, "zip-title") == "주소·우편번호 찾기")
        box = browser.find_element(By.ID, "zip-query")
        assert [box.get_attribute(a) for a in ["role", "aria-expanded", "aria-controls"]] == [
            "combobox", "false", "zip-results"]
        options = "#zip-results [role=option]"
        # Typed, with details after the address: suggestions without Enter.
        box.send_keys("개포로17길 9-3 2층")
        wait_for(browser, lambda: browser.find_elements(By.CSS_SELECTOR, options))
        found = browser.find_elements(By.CSS_SELECTOR, options)
        assert found[0].text == "06303 서울특별시 강남구 개포로17길 9-3 (G-heim)"
        assert len(found) <= 8
        assert browser.find_element(By.ID, "zip-results").get_attribute("role") == "listbox"
        assert box.get_attribute("aria-expanded") == "true"
        # Keyboard alone: arrow, Enter; the typed floor is kept.
        box.send_keys(Keys.ARROW_DOWN)
        assert box.get_attribute("aria-activedescendant") == found[0].get_attribute("id")
        assert found[0].get_attribute("aria-selected") == "true"
        box.send_keys(Keys.ENTER)
        wait_for(browser, lambda: browser.find_element(By.ID, "text").get_attribute("value") ==
                 "서울특별시 강남구 개포로17길 9-3 2층")
        wait_for(browser, lambda: text_of(browser, "output") ==
                 "2F, 9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea")
        assert box.get_attribute("aria-expanded") == "false"
        assert text_of(browser, "source") == "주소 데이터로 확인했습니다 (source: database)."
        # The mouse, on a building's name in other case.
        box.clear()
        box.send_keys("g-heim")
        wait_for(browser, lambda: browser.find_elements(By.CSS_SELECTOR, options))
        browser.find_elements(By.CSS_SELECTOR, options)[0].click()
        wait_for(browser, lambda: browser.find_element(By.ID, "text").get_attribute("value") ==
                 "서울특별시 강남구 개포로17길 9-3")
        # No match among the addresses: the 2003 table is never mixed in.
        box.clear()
        box.send_keys("청운" + Keys.ENTER)
        wait_for(browser, lambda: text_of(browser, "zip-status") == "찾지 못했습니다.")
        assert browser.find_elements(By.CSS_SELECTOR, "#zip-results li") == []
    finally:
        assert server.stop()[0] == 0
