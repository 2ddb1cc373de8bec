#!/usr/bin/env python3
"""The studio's page in headless Chromium, used as a person would use it on a
copy of the demo project: see the words, sentences and triggers, type a mistake
and mend it, save, play, link. A screenshot of each view goes to --shots."""
import argparse
import os
import re
import shutil
import signal
import subprocess
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait


class StudioPage(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix='zlt900-studio-browser-')
        self.addCleanup(shutil.rmtree, self.folder)
        self.project = os.path.join(self.folder, 'demo')
        shutil.copytree(ARGS.demo, self.project)
        self.server = subprocess.Popen([ARGS.studio, '--no-browser', self.project], stdout=subprocess.PIPE, text=True)
        self.url = re.search(r'http://127\.0\.0\.1:\d+/\?token=[0-9a-f]+', self.server.stdout.readline()).group(0)
        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        # The network of a test machine may be closed: nothing in the background.
        for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
                     '--disable-background-networking', '--disable-component-update', '--disable-sync',
                     '--window-size=1280,720', '--autoplay-policy=no-user-gesture-required',
                     '--user-data-dir=' + os.path.join(self.folder, 'profile')]:
            options.add_argument(flag)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        self.browser = webdriver.Chrome(service=Service(ARGS.driver), options=options)
        self.wait = WebDriverWait(self.browser, 20)
        os.makedirs(ARGS.shots, exist_ok=True)

    def tearDown(self):
        self.browser.quit()
        self.server.send_signal(signal.SIGINT)  # as Ctrl-C stops it
        self.assertEqual(self.server.wait(timeout=30), 0, 'zlt900-studio ends well on Ctrl-C')

    def view(self, name):
        self.browser.find_element(By.ID, f'tab-{name}').click()
        self.wait.until(lambda b: b.find_element(By.ID, f'view-{name}').is_displayed())

    def shot(self, name):
        path = os.path.join(ARGS.shots, f'{name}.png')
        self.browser.save_screenshot(path)
        # A palette of fewer colours makes a smaller file, where pngquant is at hand.
        if shutil.which('pngquant'):
            subprocess.run(['pngquant', '--force', '--strip', '--output', path, '128', path], check=False)

    def text_of(self, selector):
        # Read in one step: the page redraws its views as answers come.
        return self.browser.execute_script(
            'const e = document.querySelector(arguments[0]); return e ? e.innerText : ""', selector)

    def test_the_demo_edited_saved_linked_and_played(self):
        b, wait = self.browser, self.wait
        b.get(self.url)
        self.assertNotIn('token', b.current_url, 'the token leaves the address bar')

        # Words: four, with their clips' facts, the sentences that play them and waveforms.
        wait.until(lambda _: len(b.find_elements(By.CSS_SELECTOR, '#words tbody tr')) == 4)
        self.assertRegex(self.text_of('#words tr[data-key="W0002"]'), r'hello\.snx.*16000 Hz.*S0000\s*S0002')
        wait.until(lambda _: b.execute_script(
            'return [...document.querySelectorAll("canvas.wave")].every(c => c.getContext("2d")'
            '.getImageData(0, 0, c.width, c.height).data.some(v => v))'))
        self.shot('words')

        # Sentences: a mistake typed is underlined and explained, then mended.
        self.view('sentences')
        wait.until(lambda _: len(b.find_elements(By.CSS_SELECTOR, '#sentences .card')) == 5)
        card = '#sentences .card[data-key="S0000"]'
        self.assertIn('W0002', self.text_of(f'{card} table.disasm'))
        text = b.find_element(By.CSS_SELECTOR, f'{card} textarea')
        text.send_keys(Keys.END, Keys.BACKSPACE, '9')  # W0002 becomes W0009, a word the project lacks
        wait.until(lambda _: 'W0009' in self.text_of(f'{card} .diagnostics'))
        wait.until(lambda _: 'W0009' in b.execute_script(
            'return [...document.querySelectorAll(arguments[0])].map(e => e.textContent).join("")',
            f'{card} pre .d-error'))
        self.assertIn('1 error', self.text_of('#problems-summary'))
        wait.until(lambda _: b.find_elements(By.CSS_SELECTOR, f'{card} table.disasm.stale'))
        self.shot('sentences')
        text.send_keys(Keys.BACKSPACE, '3')  # W0003: good morning
        wait.until(lambda _: not b.find_elements(By.CSS_SELECTOR, f'{card} .diagnostics li'))
        wait.until(lambda _: 'No problems' in self.text_of('#problems-summary'))

        # Save: only that line of the file changes.
        text.send_keys(Keys.CONTROL, 's')
        wait.until(lambda _: 'saved demo.zlp' in self.text_of('#status'))
        before, after = (open(os.path.join(d, 'demo.zlp'), encoding='utf-8').read() for d in (ARGS.demo, self.project))
        self.assertEqual(after, before.replace('S0000=W0001+M200+W0002', 'S0000=W0001+M200+W0003'))

        # Play: the WAV is fetched and decodes; the page tells its length and ending.
        b.find_element(By.CSS_SELECTOR, f'{card} button.play').click()
        wait.until(lambda _: re.search(r'\d\.\d\d s, ended by endMark', self.text_of(f'{card} .played')))
        b.find_element(By.CSS_SELECTOR, f'{card} button.trace-button').click()
        wait.until(lambda _: 'W0003' in self.text_of(f'{card} pre.trace'))

        # Triggers, with the clock triggers in the week's calendar.
        self.view('triggers')
        wait.until(lambda _: len(b.find_elements(By.CSS_SELECTOR, '#triggers tbody tr')) == 8)
        self.assertIn('MON~FRI/8~17:0', self.text_of('#triggers tr[data-key="T7935"]'))
        wait.until(lambda _: b.find_elements(By.CSS_SELECTOR, '#week .chip'))
        wait.until(lambda _: self.text_of('#triggers tr[data-key="T7934"] td:last-child').endswith('09:30'))
        self.shot('triggers')

        self.view('options')
        wait.until(lambda _: 'BaudRate' in self.text_of('#options'))
        self.shot('options')

        # Link: the log, then the image's sections and words to scale, as read from the image written.
        self.view('link')
        b.find_element(By.ID, 'link-button').click()
        wait.until(lambda _: 'Process OK !!!' in self.text_of('#link-log'))
        wait.until(lambda _: b.find_elements(By.CSS_SELECTOR, '#image-picture .bar.words div'))
        self.assertIn('ZLT_WIMG.BIN', self.text_of('#image-picture'))
        b.execute_script('document.getElementById("image-picture").scrollIntoView()')
        self.shot('link')

        self.assertEqual([e for e in b.get_log('browser') if e['level'] == 'SEVERE'], [], 'the page logs no error')


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    for option in ('--studio', '--demo', '--chromium', '--driver', '--shots'):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[parser.prog] + rest, verbosity=2)
